#pragma once

// The tree's own name for the public <velourphone/Error.h>, which declares it for applications.
#include "velourphone/Error.h"
