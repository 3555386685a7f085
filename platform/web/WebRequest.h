#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/URL.h"

namespace platform {

// A request that a web view loads or is asked to load: the URL, the method, the header
// fields in their order and the body.
class WebRequest {
 public:
  using Headers = std::vector<std::pair<std::string, std::string>>;

  WebRequest() = default;
  explicit WebRequest(URL url) : url_(std::move(url)) {}
  static WebRequest requestWithURL(const URL& url) { return WebRequest(url); }

  const URL& url() const { return url_; }
  void setURL(URL url) { url_ = std::move(url); }
  const std::string& httpMethod() const { return method_; }
  void setHTTPMethod(std::string method) { method_ = std::move(method); }
  const std::string& httpBody() const { return body_; }
  void setHTTPBody(std::string body) { body_ = std::move(body); }

  const Headers& allHTTPHeaderFields() const { return headers_; }
  // Header names compare without case; "" when the field is absent.
  std::string valueForHTTPHeaderField(std::string_view name) const;
  // Replaces the field of that name, or adds it at the end.
  void setValueForHTTPHeaderField(std::string_view value, std::string_view name);

 private:
  URL url_;
  std::string method_ = "GET";
  Headers headers_;
  std::string body_;
};

}  // namespace platform
