#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Connections to `host`, whatever port the URL names, go to `address`:`port` instead. This is
// how the program's fixed vendor host names reach a local server.
struct HostMapping {
  std::string host;
  std::string address;
  std::uint16_t port = 0;
  bool operator==(const HostMapping&) const = default;
};

// The process-wide map that the URL connection and the web view both apply.
class HostResolution {
 public:
  static HostResolution& shared();

  // Replaces an earlier mapping of the same host (host names compare without case).
  void map(std::string_view host, std::string_view address, std::uint16_t port);
  // Reads "host:port:address" as the command line gives it; false, and nothing changes, for
  // text of another form.
  bool mapFromText(std::string_view text);
  void clear();

  std::optional<HostMapping> mappingForHost(std::string_view host) const;
  const std::vector<HostMapping>& mappings() const { return mappings_; }

 private:
  std::vector<HostMapping> mappings_;
};

}  // namespace platform
