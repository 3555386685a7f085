#pragma once

/// @file
/// The signals interface: the four calls by which the ad client hands request and touch
/// facts to the signals module, and the decoder of a signal value for inspection.

#include "ads/signals/ZUVSignals.h"
