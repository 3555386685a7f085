#pragma once

/// @file
/// ZUVAdNetwork: sends the ad client's requests to an ad server of the application's choosing.

#include "ads/core/ZUVAdNetwork.h"
