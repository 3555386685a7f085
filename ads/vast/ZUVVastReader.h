#pragma once

#include <array>
#include <string_view>

#include "ads/vast/ZUVVastAd.h"
#include "platform/foundation/Result.h"

// Reads the text of a VAST document (2.0 to 4.3) into a ZUVVastDocument, for the wrapper
// resolver and `vozave vast`. A document that is not XML (100), not VAST (101) or of another
// major version (102) is an error. One ad's own fault (a wrapper without its tag URI, an inline
// ad without a linear creative or with a malformed duration) stays with that ad, in `fault`, so
// that its own error URLs can hear it. URLs that are not http or https are dropped, with one
// log line for the document.
class ZUVVastReader {
 public:
  // The versions read, oldest first, as full-screen ad requests announce them.
  static constexpr std::array<std::string_view, 6> kVersions{"2.0", "3.0", "4.0",
                                                             "4.1", "4.2", "4.3"};

  static platform::Result<ZUVVastDocument> read(std::string_view text);
};
