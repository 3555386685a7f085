#pragma once

// The tree's own name for the public <velourphone/URL.h>, which declares it for applications.
#include "velourphone/URL.h"
