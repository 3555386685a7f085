#pragma once

/// @file
/// platform::ViewController: a screen's controller; a banner needs one to present its ads'
/// full screens from.

#include "platform/ui/ViewController.h"
