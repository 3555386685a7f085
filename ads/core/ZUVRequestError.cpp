#include "ads/core/ZUVRequestError.h"

#include <cstdio>

#include "ads/core/ZUVRequestPrivate.h"
#include "ads/support/ZUVIdentifierUtilities.h"

namespace {

std::string osTooLowText() {
  int major = 0, minor = 0, bugFix = 0;
  ZUVIdentifierUtilities::getOSMajorMinorBugFix(&major, &minor, &bugFix);
  char text[160];
  std::snprintf(text, sizeof text,
                "This device's OS is %i.%i.%i.  It is below the minimum of %i.%i.", major, minor,
                bugFix, 3, 0);
  return text;
}

std::string codeText(long code) {
  switch (code) {
    case kZUVErrorNoFill:
      return "No ad to show.";
    case kZUVErrorNetworkError:
      return "A network error occurred.";
    case kZUVErrorOSVersionTooLow:
      return osTooLowText();
    case kZUVErrorTimeout:
      return "The Vozave Ad request was unable to be fulfilled before a timeout occurred.";
    default:
      return "Invalid ad request parameter(s).  Check the Xcode console for details.";
  }
}

}  // namespace

std::string ZUVRequestError::localizedStringForErrorCode(long code) {
  return "Request Error: " + codeText(code);
}

platform::Error ZUVRequestError::errorWithCodeRequest(long code, const ZUVRequest* request) {
  std::string message = localizedStringForErrorCode(code);
  platform::Dictionary userInfo{{platform::Error::kLocalizedDescriptionKey, message},
                                {kNSLocalizedFailureReasonErrorKey, message}};
  // A request of the application's own making has no parameters of the client's to show.
  auto* own = dynamic_cast<const ZUVRequestPrivate*>(request);
  if (code == kZUVErrorInvalidRequest && own) {
    for (const auto& [key, value] : own->currentParameters()) userInfo.set(key, value);
  }
  return platform::Error{kZUVErrorDomain, code, std::move(userInfo)};
}

platform::Error ZUVRequestErrorWithReason(long code, const ZUVRequest* request,
                                          std::string_view reason, const std::string& adUnitID) {
  platform::Error error = ZUVRequestError::errorWithCodeRequest(code, request);
  error.userInfo.set(kZUVErrorReasonKey, std::string(reason));
  error.userInfo.set(kZUVErrorAdUnitIDKey, adUnitID);
  auto* own = dynamic_cast<const ZUVRequestPrivate*>(request);
  if (own && own->counter() > 0) {
    error.userInfo.set(kZUVErrorRequestNumberKey, static_cast<long>(own->counter()));
  }
  return error;
}
