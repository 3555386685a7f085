#pragma once

// The tree's own name for the public <velourphone/Application.h>, which declares it for
// applications.
#include "velourphone/Application.h"
