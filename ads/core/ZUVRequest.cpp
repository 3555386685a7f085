#include "ads/core/ZUVRequest.h"

#include <cstdio>

#include "ads/core/ZUVRequestPrivate.h"

std::shared_ptr<ZUVRequest> ZUVRequest::request() {
  return std::make_shared<ZUVRequestPrivate>();
}

const std::string& ZUVRequest::sdkVersion() {
  static const std::string version = [] {
    char text[64];
    std::snprintf(text, sizeof text, "zede-sdk-i-v%d.%d.%d", 4, 0, 2);
    return std::string(text);
  }();
  return version;
}

std::shared_ptr<ZUVRequestPrivate> ZUVRequest::copy() const {
  return std::make_shared<ZUVRequestPrivate>(*this);
}
