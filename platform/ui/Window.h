#pragma once

// The tree's own name for the public <velourphone/Window.h>, which declares it for applications.
#include "velourphone/Window.h"
