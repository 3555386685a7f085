#include "ads/support/ZUV_SBJSON.h"

#include <cstring>

using platform::Dictionary;
using platform::Error;
using platform::Value;

const char* const ZUV_SBJSONErrorDomain = "com.vozave.ads.JSON";
const char* const ZUV_SBJSONUnderlyingErrorKey = "NSUnderlyingError";

namespace {

// An error travels inside user info as a dictionary of its three parts.
Value errorAsValue(const Error& error) {
  return Dictionary{{"domain", error.domain}, {"code", error.code}, {"userInfo", error.userInfo}};
}

}  // namespace

Error ZUV_SBJSON::err(long code, std::string message) {
  return Error::make(ZUV_SBJSONErrorDomain, code, std::move(message));
}

Error ZUV_SBJSON::errWithUnderlier(long code, const Error* inner, std::string message) {
  Error error = err(code, std::move(message));
  if (inner) error.userInfo.set(ZUV_SBJSONUnderlyingErrorKey, errorAsValue(*inner));
  return error;
}

bool ZUV_SBJSON::fail(Error& error, long code, const char* message) {
  error = err(code, message);
  return false;
}

bool ZUV_SBJSON::wrap(Error& error, long code, const char* message, std::string_view detail) {
  error = errWithUnderlier(code, &error, std::string(message).append(detail));
  return false;
}

std::optional<Error> ZUV_SBJSON::underlyingError(const Error& error) {
  const Value* inner = error.userInfo.find(ZUV_SBJSONUnderlyingErrorKey);
  if (!inner || !inner->isDictionary()) return std::nullopt;
  const Value& parts = *inner;
  return Error{parts["domain"].stringValue(), static_cast<long>(parts["code"].integerValue()),
               parts["userInfo"].dictionaryValue()};
}

std::uint32_t ZUV_SBJSON::depthLimit() const {
  return maxDepth_ == 0 || maxDepth_ > kHardMaxDepth ? kHardMaxDepth : maxDepth_;
}

std::optional<Value> ZUV_SBJSON::objectWithStringError(std::optional<std::string_view> text,
                                                       Error* error) {
  return objectWithStringAllowScalarError(text, false, error);
}

std::optional<Value> ZUV_SBJSON::fragmentWithStringError(std::optional<std::string_view> text,
                                                         Error* error) {
  return objectWithStringAllowScalarError(text, true, error);
}

std::optional<Value> ZUV_SBJSON::objectWithStringAllowScalarError(
    std::optional<std::string_view> text, bool allowScalar, Error* error) {
  Error failure;
  Value value;
  bool ok = false;
  if (!text) {
    failure = err(12, "Input was 'nil'");
  } else {
    depth_ = 0;
    c_ = text->data();
    const void* nul = std::memchr(c_, 0, text->size());
    end_ = nul ? static_cast<const char*>(nul) : c_ + text->size();
    if (scanValueError(value, failure)) {
      if (!scanIsAtEnd()) {
        failure = err(10, "Garbage after JSON");
      } else if (!allowScalar && !value.isArray() && !value.isDictionary()) {
        failure = err(4, "Valid fragment, but not JSON");
      } else {
        ok = true;
      }
    }
  }
  c_ = end_ = nullptr;
  if (ok) return value;
  if (error) *error = std::move(failure);
  return std::nullopt;
}

std::optional<std::string> ZUV_SBJSON::stringWithObjectError(const Value& value, Error* error) {
  return stringWithObjectAllowScalarError(value, false, error);
}

std::optional<std::string> ZUV_SBJSON::stringWithFragmentError(const Value& value, Error* error) {
  return stringWithObjectAllowScalarError(value, true, error);
}

std::optional<std::string> ZUV_SBJSON::stringWithObjectAllowScalarError(const Value& value,
                                                                        bool allowScalar,
                                                                        Error* error) {
  depth_ = 0;
  Error failure;
  if (!allowScalar && !value.isArray() && !value.isDictionary()) {
    failure = err(4, "Not valid type for JSON");
  } else {
    std::string out;
    out.reserve(128);
    if (appendValueIntoError(value, out, failure)) return out;
  }
  if (error) *error = std::move(failure);
  return std::nullopt;
}
