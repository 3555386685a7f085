#pragma once

// The tree's own name for the public <vozave/RequestError.h>, which declares it for applications,
// and the controller's fuller error of a failed load.
#include <string>
#include <string_view>

#include "vozave/RequestError.h"

// The error of a load that failed: the code's error, with `reason` in plain words, the ad unit
// and the number of the request, once it has one.
platform::Error ZUVRequestErrorWithReason(long code, const ZUVRequest* request,
                                          std::string_view reason, const std::string& adUnitID);
