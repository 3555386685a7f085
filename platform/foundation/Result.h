#pragma once

// The tree's own name for the public <velourphone/Result.h>, which declares it for applications.
#include "velourphone/Result.h"
