#pragma once

/// @file
/// platform::Application, its delegate protocol and lifecycle notifications, and
/// platform::UIApplicationMain for an application laid out by an interface resource.

#include "platform/ui/Application.h"
#include "platform/ui/ApplicationMain.h"
