#pragma once

/// @file
/// platform::RunLoop, the main thread's loop that delivers every timer, fetch and ad event,
/// and its platform::Timer.

#include "platform/foundation/RunLoop.h"
