#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "platform/net/HTTPHeaderFields.h"

namespace platform {

// The connection keeps no HTTP cache of its own, so every policy loads from the network; the
// policy travels with the request for code that reads it back.
enum class URLRequestCachePolicy {
  UseProtocolCachePolicy = 0,
  ReloadIgnoringLocalCacheData = 1,
};

// One HTTP request: URL, method, header fields, body, cache policy and cookie handling.
class URLRequest {
 public:
  explicit URLRequest(URL url) : url_(std::move(url)) {}

  const URL& url() const { return url_; }
  void setURL(URL url) { url_ = std::move(url); }
  const std::string& httpMethod() const { return method_; }
  void setHTTPMethod(std::string method) { method_ = std::move(method); }
  const Bytes& httpBody() const { return body_; }
  void setHTTPBody(Bytes body) { body_ = std::move(body); }

  const HTTPHeaderFields& allHTTPHeaderFields() const { return headers_; }
  std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const {
    return headers_.value(field);
  }
  void setValueForHTTPHeaderField(std::string_view value, std::string_view field) {
    headers_.set(field, value);
  }
  void removeHTTPHeaderField(std::string_view field) { headers_.remove(field); }

  URLRequestCachePolicy cachePolicy() const { return cachePolicy_; }
  void setCachePolicy(URLRequestCachePolicy policy) { cachePolicy_ = policy; }
  // Cookies of the shared jar go out with the request, and those of the reply are kept.
  bool httpShouldHandleCookies() const { return handleCookies_; }
  void setHTTPShouldHandleCookies(bool handle) { handleCookies_ = handle; }

 private:
  URL url_;
  std::string method_ = "GET";
  Bytes body_;
  HTTPHeaderFields headers_;
  URLRequestCachePolicy cachePolicy_ = URLRequestCachePolicy::UseProtocolCachePolicy;
  bool handleCookies_ = true;
};

// The status and header fields of one HTTP reply.
class HTTPURLResponse {
 public:
  HTTPURLResponse(URL url, int statusCode, HTTPHeaderFields headers)
      : url_(std::move(url)), statusCode_(statusCode), headers_(std::move(headers)) {}

  const URL& url() const { return url_; }
  int statusCode() const { return statusCode_; }
  const HTTPHeaderFields& allHeaderFields() const { return headers_; }
  std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const {
    return headers_.value(field);
  }

 private:
  URL url_;
  int statusCode_;
  HTTPHeaderFields headers_;
};

}  // namespace platform
