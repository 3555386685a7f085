#pragma once

// The tree's own name for the public <vozave/Signals.h>, which declares it for applications.
#include "vozave/Signals.h"
