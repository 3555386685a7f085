#pragma once

// The tree's own name for the public <vozave/Request.h>, which declares it for applications.
#include "vozave/Request.h"
