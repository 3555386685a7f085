#pragma once

// The tree's own name for the public <vozave/RequestError.h>, which declares it for applications.
#include "vozave/RequestError.h"
