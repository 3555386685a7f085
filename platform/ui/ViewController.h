#pragma once

// The tree's own name for the public <velourphone/ViewController.h>, which declares it for
// applications.
#include "velourphone/ViewController.h"
