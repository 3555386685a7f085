#pragma once

// The tree's own name for the public <velourphone/Export.h>, which declares it for applications.
#include "velourphone/Export.h"
