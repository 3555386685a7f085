#pragma once

// The tree's own name for the public <velourphone/Responder.h>, which declares it for applications.
#include "velourphone/Responder.h"
