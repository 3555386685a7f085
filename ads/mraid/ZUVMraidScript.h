#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

// What the application sends into an ad page's MRAID bridge, as script text: the bridge itself
// (with `window.MRAID_ENV` for the ad's first part), and updates of its state followed by the
// events that announce them. Every value goes in as JSON escaped for a script's source, so no
// text in it (a quote, a backslash, "</script>", U+2028, U+2029, a NUL) can end the literal or
// the script. The MRAID controller runs these scripts without waiting for them.
class ZUVMraidScript {
 public:
  // The bridge's source, compiled in from mraid-bridge.js.
  static std::string_view bridgeSource();
  // The document-start script: MRAID_ENV when given and the placement, then the bridge.
  static std::string documentStart(const std::optional<platform::Dictionary>& environment,
                                   bool interstitial = false);
  // A harmless answer to the page's own request of "mraid.js": the bridge is already there.
  static constexpr std::string_view kMraidJSAnswer =
      "/* The Vozave ad client defined mraid before this page's scripts ran. */\n";

  // The value as a script literal; nothing for a value that has no JSON form (text that is
  // not UTF-8, a number that is not finite).
  static std::optional<std::string> literal(const platform::Value& value);
  // A script that hands the bridge `change` (its "events" an array of [name, arguments...]).
  static std::optional<std::string> update(const platform::Dictionary& change);
};
