#pragma once

// The tree's own name for the public <velourphone/Animation.h>, which declares it for applications.
#include "velourphone/Animation.h"
