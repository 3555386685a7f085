#pragma once

// The tree's own name for the public <velourphone/Registration.h>, which declares it for
// applications.
#include "velourphone/Registration.h"
