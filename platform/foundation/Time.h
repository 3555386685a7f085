#pragma once

// The tree's own name for the public <velourphone/Time.h>, which declares it for applications.
#include "velourphone/Time.h"
