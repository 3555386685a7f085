#pragma once

/// @file
/// ZUVRequestError: the errors a banner reports, their domain and codes.

#include <string>

#include "velourphone/Error.h"
#include "velourphone/Export.h"

class ZUVRequest;

// The domain of every error that the ad client reports.
inline constexpr const char* kZUVErrorDomain = "com.vozave.ads.RequestError";

// The user-information key of the failure reason.
inline constexpr const char* kNSLocalizedFailureReasonErrorKey = "NSLocalizedFailureReason";

// The user-information key of why a load failed, in plain words (the server's status, the fetch
// error, the refusal, the time-out, the page's own failure).
inline constexpr const char* kZUVErrorReasonKey = "ZUVErrorReason";
// The user-information key of the failed banner's ad unit.
inline constexpr const char* kZUVErrorAdUnitIDKey = "ZUVErrorAdUnitID";
// The user-information key of the number of the failed ad request; absent when none went out.
inline constexpr const char* kZUVErrorRequestNumberKey = "ZUVErrorRequestNumber";
// The user-information key of a video ad's VAST error code (100 to 900), when a video failed.
inline constexpr const char* kZUVErrorVastCodeKey = "ZUVErrorVastCode";

// The codes of the errors in kZUVErrorDomain.
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
  // also carries the parameters of the request, if one is given, read without taking the
  // statistics that the next request will report.
  static platform::Error errorWithCodeRequest(long code, const ZUVRequest* request = nullptr);
  // "Request Error: " and the code's text; unknown codes read as an invalid request.
  static std::string localizedStringForErrorCode(long code);
};
