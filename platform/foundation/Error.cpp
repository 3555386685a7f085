#include "platform/foundation/Error.h"

namespace platform {

Error Error::make(std::string domain, long code, std::string description) {
  Error error{std::move(domain), code, {}};
  error.userInfo.set(kLocalizedDescriptionKey, std::move(description));
  return error;
}

std::string Error::localizedDescription() const {
  const Value* description = userInfo.find(kLocalizedDescriptionKey);
  if (description && description->isString()) return description->stringValue();
  return "The operation couldn't be completed. (" + domain + " error " + std::to_string(code) +
         ".)";
}

}  // namespace platform
