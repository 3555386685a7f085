#pragma once

/// @file
/// platform::URL, a parsed absolute URL, and percent encoding.

#include <optional>
#include <string>
#include <string_view>

#include "velourphone/Export.h"

namespace platform {

// A parsed absolute URL. Hierarchical schemes (http, https, file, about, application with a
// "//" authority) split into host, port, path, query and fragment; opaque ones (mailto, gmsg,
// vodov, about:blank) keep the rest after the colon as the resource specifier, still split at
// "?" and "#".
class VOZAVE_API URL {
 public:
  // Refuses text that is not an absolute URL: no scheme, a bad scheme, spaces or control
  // characters, a bad port, or a hierarchical URL without a host.
  static std::optional<URL> parse(std::string_view text);
  // Resolves `text` against `base` (relative references as browsers take them).
  static std::optional<URL> parse(std::string_view text, const URL& base);
  // A file URL for a local path (a relative one taken from the working folder), percent-encoded.
  static URL fileURLWithPath(std::string_view path);

  // The whole URL as text, always ASCII; it parses back to the same URL.
  const std::string& absoluteString() const { return text_; }
  const std::string& scheme() const { return scheme_; }  // lower case
  // The scheme with the letter case it was written in; message schemes compare exactly.
  const std::string& writtenScheme() const { return writtenScheme_; }
  const std::string& user() const { return user_; }  // the user name in the authority, if any
  const std::string& password() const { return password_; }  // after "user:", if any
  const std::string& host() const { return host_; }          // lower case
  // The host with the letter case it was written in; message hosts compare exactly.
  const std::string& writtenHost() const { return writtenHost_; }
  // The port, or -1 when the text names none.
  int port() const { return port_; }
  const std::string& path() const { return path_; }          // still percent-encoded
  const std::string& query() const { return query_; }        // after "?", without it
  const std::string& fragment() const { return fragment_; }  // after "#", without it
  // Whether the text has a "?", even with nothing after it.
  bool hasQuery() const { return hasQuery_; }
  // Whether the text has a "#", even with nothing after it.
  bool hasFragment() const { return hasFragment_; }
  // Everything after "scheme:" (with query and fragment); the whole of an opaque URL.
  const std::string& resourceSpecifier() const { return resourceSpecifier_; }
  bool isFileURL() const { return scheme_ == "file"; }  // a local file's URL
  // Exactly "http" or "https": a scheme that merely starts with "http" is some application's.
  bool isHTTPOrHTTPS() const { return scheme_ == "http" || scheme_ == "https"; }
  // The decoded path of a file URL.
  std::string filePath() const;

  // Equal when the absolute strings are equal.
  bool operator==(const URL& other) const { return text_ == other.text_; }

 private:
  std::string text_, scheme_, writtenScheme_, user_, password_, host_, writtenHost_, path_, query_,
      fragment_, resourceSpecifier_;
  int port_ = -1;
  bool hasQuery_ = false;
  bool hasFragment_ = false;
};

// Decodes %XX escapes; "+" stays "+". Malformed escapes are kept as they are.
VOZAVE_API std::string percentDecode(std::string_view text);
// Encodes every byte outside the unreserved set (A-Z a-z 0-9 - . _ ~) as %XX.
VOZAVE_API std::string percentEncode(std::string_view text);

}  // namespace platform
