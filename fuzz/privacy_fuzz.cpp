// Reads arbitrary text as every privacy value a consent tool keeps: no crash, and what is read
// is within the forms the request may carry.
#include "ads/support/ZUVPrivacy.h"
#include "fuzz/FuzzInput.h"
#include "platform/foundation/UserDefaults.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto& store = platform::UserDefaults::standard();
  const platform::Value value{std::string(fuzz::text(data, size))};
  for (const char* key :
       {ZUVPrivacy::kTCStringKey, ZUVPrivacy::kPurposeConsentsKey, ZUVPrivacy::kGppStringKey,
        ZUVPrivacy::kGppSectionsKey, ZUVPrivacy::kUSPrivacyKey, ZUVPrivacy::kGdprAppliesKey}) {
    store.setObjectForKey(value, key);
  }
  const ZUVPrivacySignals signals = ZUVPrivacy::shared().current();
  fuzz::require(!signals.gdprApplies);  // text is never a number
  if (signals.purposeConsents) {
    fuzz::require(!signals.purposeConsents->empty() &&
                  signals.purposeConsents->size() <= ZUVPrivacy::kMaxPurposes &&
                  signals.purposeConsents->find_first_not_of("01") == std::string::npos);
  }
  if (signals.usPrivacy) fuzz::require(signals.usPrivacy->size() == 4);
  if (signals.tcString) {
    fuzz::require(signals.tcString->size() <= ZUVPrivacy::kMaxConsentStringBytes);
  }
  if (signals.gppSections) {
    for (int section : *signals.gppSections) {
      fuzz::require(section >= 0 && section <= ZUVPrivacy::kMaxGppSection);
    }
  }
  return 0;
}
