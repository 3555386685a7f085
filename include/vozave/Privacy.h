#pragma once

/// @file
/// ZUVPrivacySettings: the user's privacy choices as the application itself knows them.

#include <optional>
#include <string>
#include <vector>

#include "velourphone/Export.h"

/// What the application tells the ad client of the user's privacy choices. The client reads
/// the IAB's keys that consent tools write into the application's key-value store
/// ("IABTCF_gdprApplies", "IABTCF_TCString", "IABTCF_PurposeConsents", "IABGPP_HDR_GppString",
/// "IABGPP_GppSID", "IABUSPrivacy_String") by itself; a value set here takes precedence over the
/// store's, and none (std::nullopt) hands the choice back to the store. Each counts from the
/// next ad request on. Where the GDPR applies without consent to storing and reading device
/// information (the TCF's purpose 1), where the application is directed to children, or where
/// the user limits ad tracking, no device identifier, precise location or touch signal is sent.
/// Main thread only.
class VOZAVE_API ZUVPrivacySettings {
 public:
  /// Whether the GDPR applies to this user; none: as the store says, else undetermined.
  static void setGDPRApplies(std::optional<bool> applies);
  /// The TCF 2.2 consent string. The strings below return false, and change nothing, for text
  /// that is not of their form (the same check as the store's values get, with a log line).
  [[nodiscard]] static bool setTCString(std::optional<std::string> consent);
  /// The TCF purposes consented to: '0' or '1' for each, purpose n at index n-1.
  [[nodiscard]] static bool setPurposeConsents(std::optional<std::string> purposes);
  /// The IAB's US privacy string, such as "1YNN".
  [[nodiscard]] static bool setUSPrivacyString(std::optional<std::string> usPrivacy);
  /// The Global Privacy Platform string and the ids of the sections that apply.
  [[nodiscard]] static bool setGPPString(std::optional<std::string> gpp);
  /// False, and nothing changed, for an id outside 0 ... 1000.
  [[nodiscard]] static bool setGPPSectionIDs(std::optional<std::vector<int>> sections);
  /// Whether the application is directed to children (COPPA): sent as "coppa" 1 when it is.
  static void setChildDirected(bool childDirected);
  /// Whether the user limits ad tracking: sent as "lmt" 1 when so.
  static void setLimitAdTracking(bool limited);
  /// Forgets everything set here: the store alone counts again.
  static void reset();
};
