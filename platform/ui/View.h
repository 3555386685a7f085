#pragma once

// The tree's own name for the public <velourphone/View.h>, which declares it for applications.
#include "velourphone/View.h"
