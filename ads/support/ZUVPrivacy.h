#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Registration.h"
#include "platform/foundation/Value.h"

// The user's privacy choices as the next ad request carries them: the consent strings that
// consent tools keep in the application's key-value store (TCF 2.2, GPP, US privacy), the same
// values set by the application itself (which take precedence), and whether the application
// is directed to children or the user limits ad tracking. The store's values are read again
// whenever the store says it changed, so a value written after the client started counts for
// the next request; the request, the MRAID container and the touch signals ask mayUseDevice()
// what they may send. Main thread only.
struct ZUVPrivacySignals {
  std::optional<bool> gdprApplies;  // none: undetermined
  std::optional<std::string> tcString;
  std::optional<std::string> purposeConsents;  // '0' or '1', purpose n at n-1
  std::optional<std::string> usPrivacy;
  std::optional<std::string> gppString;
  std::optional<std::vector<int>> gppSections;
  std::optional<bool> childDirected;
  std::optional<bool> limitAdTracking;
  // What the consent tool says of itself; shown, never sent.
  std::optional<int> tcfPolicyVersion;
  std::optional<int> cmpSdkID;

  // Storing and reading device information is allowed: not for an application directed to
  // children, not when tracking is limited, and where the GDPR applies only with the user's
  // consent to the TCF's purpose 1.
  bool mayUseDevice() const;
  // The request's keys for what is known; none when nothing is.
  void addParameters(platform::Dictionary& parameters) const;
};

class ZUVPrivacy {
 public:
  // The store's keys, as consent tools write them.
  static constexpr const char* kGdprAppliesKey = "IABTCF_gdprApplies";
  static constexpr const char* kTCStringKey = "IABTCF_TCString";
  static constexpr const char* kPurposeConsentsKey = "IABTCF_PurposeConsents";
  static constexpr const char* kGppStringKey = "IABGPP_HDR_GppString";
  static constexpr const char* kGppSectionsKey = "IABGPP_GppSID";
  static constexpr const char* kUSPrivacyKey = "IABUSPrivacy_String";
  static constexpr const char* kPolicyVersionKey = "IABTCF_PolicyVersion";
  static constexpr const char* kCmpSdkIDKey = "IABTCF_CmpSdkID";
  // Past these a value is not one a consent tool writes.
  static constexpr std::size_t kMaxConsentStringBytes = 16 * 1024;
  static constexpr std::size_t kMaxPurposes = 64;
  static constexpr int kMaxGppSection = 1000;

  static ZUVPrivacy& shared();

  // What the application has set: each value present takes precedence over the store's.
  ZUVPrivacySignals& applicationChoices() { return chosen_; }
  // The application's choices over the store's values. A value of the wrong type or form
  // counts as absent, or as far as it is valid, with one log line until it changes.
  ZUVPrivacySignals current();

  // The checks of the store's values, for a value the application sets: the value as far as
  // it is valid, none when none of it is (with the same log line).
  std::optional<std::string> checkedConsentString(const char* key, const platform::Value& value);
  std::optional<std::string> checkedPurposeConsents(const platform::Value& value);
  std::optional<std::string> checkedUSPrivacy(const platform::Value& value);
  std::optional<std::vector<int>> checkedGppSections(const platform::Value& value);

 private:
  ZUVPrivacy();
  ZUVPrivacySignals readStore();
  std::optional<bool> gdprApplies(const platform::Value& value);
  std::optional<int> smallNumber(const char* key, const platform::Value& value);
  // Logs that `key` holds a value read as `outcome`, once for each value it holds.
  void complain(const char* key, const platform::Value& value, const std::string& outcome);

  ZUVPrivacySignals chosen_;
  std::optional<ZUVPrivacySignals> stored_;  // none until read, and after each change
  platform::Registration storeChanged_;
  std::map<std::string, std::string> complained_;  // by key: the value last logged
};
