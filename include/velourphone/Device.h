#pragma once

/// @file
/// platform::DeviceProfile (model, system version, screen, languages, network) and
/// platform::Screen.

#include "platform/device/Device.h"
#include "platform/ui/Screen.h"
