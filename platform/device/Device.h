#pragma once

// The tree's own name for the public <velourphone/Device.h>, which declares it for applications.
#include "velourphone/Device.h"
