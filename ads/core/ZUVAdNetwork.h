#pragma once

// The tree's own name for the public <vozave/AdNetwork.h>, which declares it for applications.
#include "vozave/AdNetwork.h"
