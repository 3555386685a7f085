#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Result.h"
#include "platform/foundation/Value.h"

// Reads the query texts that clients send to the demo ad server: the ad request that the
// support script builds, and the signal texts of ad and click URLs. Everything here is
// untrusted; a refusal comes with a one-line reason that the server answers with a 400.
namespace adserver {

// Bounds on what one query may hold, so that a hostile client cannot make the record large.
inline constexpr std::size_t kMaximumQueryPairs = 128;
// The errors of the server's readers and of its start, the problem in one line as the message.
inline constexpr const char* kAdServerErrorDomain = "VelourAdServerErrorDomain";
inline constexpr long kAdServerErrorBadQuery = 1;
inline constexpr long kAdServerErrorBadInventory = 2;
inline constexpr long kAdServerErrorBadContent = 3;   // no script template or no creative
inline constexpr long kAdServerErrorCannotStart = 4;  // the log or the port is not to be had

inline constexpr std::size_t kMaximumQueryLength = 8192;

class Query {
 public:
  // The pairs of `text` (without "?"), split at "&" and percent-decoded ("+" stays "+"). A
  // pair without "=" has an empty value. Refused: a text or pair count past the bounds, a
  // malformed %-escape, an empty name, a name given twice.
  static platform::Result<Query> parse(std::string_view text);

  const std::vector<std::pair<std::string, std::string>>& pairs() const { return pairs_; }
  const std::string* find(std::string_view name) const;

 private:
  std::vector<std::pair<std::string, std::string>> pairs_;
};

using SignalFields = std::map<std::string, std::string>;

// One ad request as the server reads it from the ad URL.
struct AdRequest {
  std::string slot;
  // Every parameter but the signal, as texts, in the order sent.
  platform::Dictionary parameters;
  // The decoded "ms" signal; nothing when the request carried none.
  std::optional<SignalFields> signals;
  // Its "vast" parameter names versions and media types ("2.0,4.2;video/webm"): it plays video.
  bool announcesVast = false;
};

// Client text quoted for a one-line reason: in double quotes, control bytes as "?", cut short.
std::string quotedForReason(std::string_view text);

// 15 lower-case hexadecimal digits, as ad unit identifiers are issued.
bool isAdUnitID(std::string_view text);

// The ad request of an ad URL's query; refused without a valid "slotname" or with a signal
// text that does not decode.
platform::Result<AdRequest> readAdRequest(const Query& query);

// The decoded signal under `name` ("ms" or "cs"): nothing when absent; an error when present
// and unreadable.
platform::Result<std::optional<SignalFields>> readSignal(const Query& query, std::string_view name);

}  // namespace adserver
