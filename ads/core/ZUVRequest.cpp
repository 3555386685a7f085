#include "ads/core/ZUVRequest.h"

#include "ads/core/ZUVRequestPrivate.h"
#include "ads/support/ZUVSDKVersion.h"

std::shared_ptr<ZUVRequest> ZUVRequest::request() {
  return std::make_shared<ZUVRequestPrivate>();
}

const std::string& ZUVRequest::sdkVersion() {
  static const std::string version = kZUVSDKVersion;
  return version;
}

std::shared_ptr<ZUVRequest> ZUVRequest::copy() const {
  return std::make_shared<ZUVRequestPrivate>(*this);
}

std::shared_ptr<ZUVRequestPrivate> ZUVRequestPrivate::copy() const {
  // From the public part: a copy starts its own count of loads.
  return std::make_shared<ZUVRequestPrivate>(static_cast<const ZUVRequest&>(*this));
}
