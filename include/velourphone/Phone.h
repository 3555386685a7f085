#pragma once

/// @file
/// The headless phone an application runs on: the application object, windows, views and
/// view controllers and the registry of their classes, the main run loop, the device profile,
/// the screen and the value types.

#include "velourphone/Application.h"
#include "velourphone/ClassRegistry.h"
#include "velourphone/Device.h"
#include "velourphone/Error.h"
#include "velourphone/Geometry.h"
#include "velourphone/Registration.h"
#include "velourphone/Responder.h"
#include "velourphone/Result.h"
#include "velourphone/RunLoop.h"
#include "velourphone/Screen.h"
#include "velourphone/Time.h"
#include "velourphone/URL.h"
#include "velourphone/Value.h"
#include "velourphone/View.h"
#include "velourphone/ViewController.h"
#include "velourphone/Window.h"
