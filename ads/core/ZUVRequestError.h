#pragma once

#include <string>

#include "ads/support/ZUVErrorDomain.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Export.h"

class ZUVRequestPrivate;

inline constexpr const char* kNSLocalizedFailureReasonErrorKey = "NSLocalizedFailureReason";

enum ZUVErrorCode : long {
  kZUVErrorInvalidRequest = 0,
  kZUVErrorNoFill = 1,
  kZUVErrorNetworkError = 2,
  kZUVErrorOSVersionTooLow = 3,
  kZUVErrorTimeout = 4,
};

// The errors given to the application's delegates.
class VOZAVE_API ZUVRequestError {
 public:
  // The message under both the description and the failure reason. An invalid-request error
  // also carries the request's parameters, read without taking the statistics that the next
  // request will report.
  static platform::Error errorWithCodeRequest(long code, const ZUVRequestPrivate* request);
  // "Request Error: " and the code's text; unknown codes read as an invalid request.
  static std::string localizedStringForErrorCode(long code);
};
