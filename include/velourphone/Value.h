#pragma once

/// @file
/// platform::Value, platform::Dictionary, platform::Error and platform::URL: the values that
/// requests, errors and notifications carry.

#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
