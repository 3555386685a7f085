#pragma once

// The tree's own name for the public <velourphone/Value.h>, which declares it for applications.
#include "velourphone/Value.h"
