#pragma once

// The tree's own name for the public <velourphone/Screen.h>, which declares it for applications.
#include "velourphone/Screen.h"
