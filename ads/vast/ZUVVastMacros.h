#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ads/support/ZUVPrivacy.h"
#include "platform/foundation/Value.h"

// Fills the standard's macros in a tracking, error or tag URL before it is fetched. The wrapper
// resolver expands tag URLs, the player every URL it fires. A value the phone does not know is
// -1 and one that does not apply -2, as VAST 4 asks; every value is percent-encoded. Macros it
// does not know stay as they are.
struct ZUVVastMacroValues {
  std::optional<long> errorCode;            // [ERRORCODE]; none: not applicable
  std::optional<double> adPlayheadSeconds;  // [ADPLAYHEAD]; none: unknown
  std::optional<std::string> assetURI;      // [ASSETURI], the chosen media file; none: unknown
  std::optional<int> reason;                // [REASON]; none: not applicable
  platform::Date date;                      // [TIMESTAMP]
  ZUVPrivacySignals privacy;                // [LIMITADTRACKING], [GDPRCONSENT], [REGULATIONS]

  // Now, with the privacy signals that hold now.
  static ZUVVastMacroValues current();
};

std::string ZUVVastExpandMacros(std::string_view url, const ZUVVastMacroValues& values);
