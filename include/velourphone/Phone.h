#pragma once

/// @file
/// The headless phone an application runs on: the application object, windows, views and
/// view controllers, the main run loop, the device profile and the value types.

#include "velourphone/Application.h"
#include "velourphone/Device.h"
#include "velourphone/RunLoop.h"
#include "velourphone/Value.h"
#include "velourphone/View.h"
#include "velourphone/ViewController.h"
#include "velourphone/Window.h"
