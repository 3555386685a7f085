#pragma once

// The tree's own name for the public <velourphone/RunLoop.h>, which declares it for applications.
#include "velourphone/RunLoop.h"
