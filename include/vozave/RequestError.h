#pragma once

/// @file
/// ZUVRequestError: the errors a banner reports, their domain and codes.

#include "ads/core/ZUVRequestError.h"
#include "ads/support/ZUVErrorDomain.h"
