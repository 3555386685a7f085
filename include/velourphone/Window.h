#pragma once

/// @file
/// platform::Window: the screen's top view, holding the root view controller.

#include "platform/ui/Window.h"
