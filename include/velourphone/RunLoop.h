#pragma once

/// @file
/// platform::RunLoop, the main thread's loop that delivers every timer, fetch and ad event,
/// its platform::Timer and the handles that end timers, delayed calls and watches when they go.

#include "platform/foundation/RunLoop.h"
