#include "ads/support/ZUVPrivacy.h"

#include <algorithm>

#include "ads/support/ZUVParameterKeys.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "vozave/Privacy.h"

namespace {

constexpr std::string_view kBase64URL =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

platform::Value stored(const char* key) {
  return platform::UserDefaults::standard().objectForKey(key);
}

// The value as the log shows it: its type and a bounded piece of its text.
std::string shown(const platform::Value& value) {
  std::string text =
      value.isString() ? "\"" + value.stringValue() + "\"" : value.debugDescription();
  if (text.size() > 80) text = text.substr(0, 80) + "...";
  return platform::text::singleLine(text);
}

}  // namespace

bool ZUVPrivacySignals::mayUseDevice() const {
  if (childDirected.value_or(false) || limitAdTracking.value_or(false)) return false;
  if (!gdprApplies.value_or(false)) return true;
  return purposeConsents && !purposeConsents->empty() && (*purposeConsents)[0] == '1';
}

void ZUVPrivacySignals::addParameters(platform::Dictionary& parameters) const {
  if (gdprApplies) parameters.set(kZUVParameterGdpr, platform::Value(*gdprApplies ? 1 : 0));
  if (tcString) parameters.set(kZUVParameterGdprConsent, *tcString);
  if (usPrivacy) parameters.set(kZUVParameterUSPrivacy, *usPrivacy);
  if (gppString) parameters.set(kZUVParameterGpp, *gppString);
  if (gppSections) {
    platform::Array sections;
    for (int section : *gppSections) sections.emplace_back(section);
    parameters.set(kZUVParameterGppSections, platform::Value(std::move(sections)));
  }
  if (childDirected.value_or(false)) parameters.set(kZUVParameterCoppa, platform::Value(1));
  if (limitAdTracking.value_or(false)) {
    parameters.set(kZUVParameterLimitAdTracking, platform::Value(1));
  }
}

ZUVPrivacy& ZUVPrivacy::shared() {
  static ZUVPrivacy privacy;
  return privacy;
}

ZUVPrivacy::ZUVPrivacy()
    : storeChanged_(platform::NotificationCenter::defaultCenter().addObserver(
          platform::UserDefaults::kDidChangeNotification, nullptr,
          [this](const platform::Notification&) { stored_.reset(); })) {}

ZUVPrivacySignals ZUVPrivacy::current() {
  if (!stored_) stored_ = readStore();
  ZUVPrivacySignals signals = chosen_;
  // What the application left open comes from the store.
  auto fill = [](auto& chosen, const auto& stored) {
    if (!chosen) chosen = stored;
  };
  fill(signals.gdprApplies, stored_->gdprApplies);
  fill(signals.tcString, stored_->tcString);
  fill(signals.purposeConsents, stored_->purposeConsents);
  fill(signals.usPrivacy, stored_->usPrivacy);
  fill(signals.gppString, stored_->gppString);
  fill(signals.gppSections, stored_->gppSections);
  fill(signals.tcfPolicyVersion, stored_->tcfPolicyVersion);
  fill(signals.cmpSdkID, stored_->cmpSdkID);
  return signals;
}

ZUVPrivacySignals ZUVPrivacy::readStore() {
  // Absent keys are no fault; each present one is checked.
  auto read = [this](const char* key, auto check) -> decltype(check(platform::Value())) {
    platform::Value value = stored(key);
    if (value.isNull()) {
      complained_.erase(key);
      return std::nullopt;
    }
    return check(value);
  };
  ZUVPrivacySignals signals;
  signals.gdprApplies =
      read(kGdprAppliesKey, [this](const platform::Value& v) { return gdprApplies(v); });
  signals.tcString = read(kTCStringKey, [this](const platform::Value& v) {
    return checkedConsentString(kTCStringKey, v);
  });
  signals.purposeConsents = read(
      kPurposeConsentsKey, [this](const platform::Value& v) { return checkedPurposeConsents(v); });
  signals.usPrivacy =
      read(kUSPrivacyKey, [this](const platform::Value& v) { return checkedUSPrivacy(v); });
  signals.gppString = read(kGppStringKey, [this](const platform::Value& v) {
    return checkedConsentString(kGppStringKey, v);
  });
  signals.gppSections =
      read(kGppSectionsKey, [this](const platform::Value& v) { return checkedGppSections(v); });
  signals.tcfPolicyVersion = read(kPolicyVersionKey, [this](const platform::Value& v) {
    return smallNumber(kPolicyVersionKey, v);
  });
  signals.cmpSdkID =
      read(kCmpSdkIDKey, [this](const platform::Value& v) { return smallNumber(kCmpSdkIDKey, v); });
  return signals;
}

void ZUVPrivacy::complain(const char* key, const platform::Value& value,
                          const std::string& outcome) {
  std::string text = shown(value);
  auto [entry, added] = complained_.try_emplace(key, text);
  if (!added && entry->second == text) return;
  entry->second = text;
  platform::log(std::string("<Vozave> The privacy value ") + key + " " + text + " " + outcome +
                ".");
}

std::optional<std::string> ZUVPrivacy::checkedConsentString(const char* key,
                                                            const platform::Value& value) {
  const std::string alphabet =
      std::string(kBase64URL) + (std::string_view(key) == kGppStringKey ? ".~" : ".");
  if (!value.isString() || value.stringValue().empty() ||
      value.stringValue().size() > ZUVPrivacy::kMaxConsentStringBytes ||
      value.stringValue().find_first_not_of(alphabet) != std::string::npos) {
    complain(key, value, "is not a consent string; it is left out");
    return std::nullopt;
  }
  complained_.erase(key);
  return value.stringValue();
}

std::optional<bool> ZUVPrivacy::gdprApplies(const platform::Value& value) {
  if (!value.isNumber() || (value.integerValue(-1) != 0 && value.integerValue(-1) != 1)) {
    complain(kGdprAppliesKey, value, "is neither 0 nor 1; whether the GDPR applies is unknown");
    return std::nullopt;
  }
  complained_.erase(kGdprAppliesKey);
  return value.integerValue(0) == 1;
}

// As far as it is valid: the purposes up to the first character that is not '0' or '1'.
std::optional<std::string> ZUVPrivacy::checkedPurposeConsents(const platform::Value& value) {
  if (!value.isString()) {
    complain(kPurposeConsentsKey, value, "is not text; the purposes are unknown");
    return std::nullopt;
  }
  const std::string& text = value.stringValue();
  const std::size_t valid = std::min({text.find_first_not_of("01"), text.size(), kMaxPurposes});
  if (valid < text.size()) {
    complain(kPurposeConsentsKey, value,
             "is read as its first " + std::to_string(valid) + " purposes");
  } else {
    complained_.erase(kPurposeConsentsKey);
  }
  if (valid == 0) return std::nullopt;
  return text.substr(0, valid);
}

// Version 1, then Y, N or - for notice, opt-out and the limited service provider agreement.
std::optional<std::string> ZUVPrivacy::checkedUSPrivacy(const platform::Value& value) {
  const bool valid = value.isString() && value.stringValue().size() == 4 &&
                     value.stringValue()[0] == '1' &&
                     value.stringValue().find_first_not_of("YNyn-", 1) == std::string::npos;
  if (!valid) {
    complain(kUSPrivacyKey, value, "is not a US privacy string; it is left out");
    return std::nullopt;
  }
  complained_.erase(kUSPrivacyKey);
  return value.stringValue();
}

// Section ids joined by '_' ("2_7"), as far as they are valid.
std::optional<std::vector<int>> ZUVPrivacy::checkedGppSections(const platform::Value& value) {
  if (!value.isString()) {
    complain(kGppSectionsKey, value, "is not text; the sections are unknown");
    return std::nullopt;
  }
  std::vector<int> sections;
  std::string_view rest = value.stringValue();
  bool whole = true;
  for (;;) {
    const auto end = rest.find('_');
    const std::string_view piece = rest.substr(0, end);
    if (piece.empty() || piece.size() > 4 ||
        piece.find_first_not_of("0123456789") != std::string_view::npos ||
        std::stoi(std::string(piece)) > kMaxGppSection) {
      whole = false;
      break;
    }
    sections.push_back(std::stoi(std::string(piece)));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  if (!whole) {
    complain(kGppSectionsKey, value,
             "is read as its first " + std::to_string(sections.size()) + " sections");
  } else {
    complained_.erase(kGppSectionsKey);
  }
  if (sections.empty()) return std::nullopt;
  return sections;
}

// The consent tool's policy version and registered id: small whole numbers.
std::optional<int> ZUVPrivacy::smallNumber(const char* key, const platform::Value& value) {
  const long long number = value.isNumber() ? value.integerValue(-1) : -1;
  if (number < 0 || number > 65535) {
    complain(key, value, "is not a small whole number; it is left out");
    return std::nullopt;
  }
  complained_.erase(key);
  return static_cast<int>(number);
}

namespace {

// Sets what the application chose after the store's check; nothing set for a value that fails.
template <typename T, typename Check>
bool choose(std::optional<T>& chosen, std::optional<std::string> text, Check check) {
  if (!text) {
    chosen.reset();
    return true;
  }
  auto checked = check(platform::Value(*text));
  if (!checked || *checked != *text) return false;
  chosen = std::move(checked);
  return true;
}

}  // namespace

void ZUVPrivacySettings::setGDPRApplies(std::optional<bool> applies) {
  ZUVPrivacy::shared().applicationChoices().gdprApplies = applies;
}

bool ZUVPrivacySettings::setTCString(std::optional<std::string> consent) {
  auto& privacy = ZUVPrivacy::shared();
  return choose(privacy.applicationChoices().tcString, std::move(consent), [&](const auto& value) {
    return privacy.checkedConsentString(ZUVPrivacy::kTCStringKey, value);
  });
}

bool ZUVPrivacySettings::setPurposeConsents(std::optional<std::string> purposes) {
  auto& privacy = ZUVPrivacy::shared();
  return choose(privacy.applicationChoices().purposeConsents, std::move(purposes),
                [&](const auto& value) { return privacy.checkedPurposeConsents(value); });
}

bool ZUVPrivacySettings::setUSPrivacyString(std::optional<std::string> usPrivacy) {
  auto& privacy = ZUVPrivacy::shared();
  return choose(privacy.applicationChoices().usPrivacy, std::move(usPrivacy),
                [&](const auto& value) { return privacy.checkedUSPrivacy(value); });
}

bool ZUVPrivacySettings::setGPPString(std::optional<std::string> gpp) {
  auto& privacy = ZUVPrivacy::shared();
  return choose(privacy.applicationChoices().gppString, std::move(gpp), [&](const auto& value) {
    return privacy.checkedConsentString(ZUVPrivacy::kGppStringKey, value);
  });
}

bool ZUVPrivacySettings::setGPPSectionIDs(std::optional<std::vector<int>> sections) {
  if (sections && std::any_of(sections->begin(), sections->end(), [](int section) {
        return section < 0 || section > ZUVPrivacy::kMaxGppSection;
      })) {
    return false;
  }
  ZUVPrivacy::shared().applicationChoices().gppSections = std::move(sections);
  return true;
}

void ZUVPrivacySettings::setChildDirected(bool childDirected) {
  ZUVPrivacy::shared().applicationChoices().childDirected = childDirected;
}

void ZUVPrivacySettings::setLimitAdTracking(bool limited) {
  ZUVPrivacy::shared().applicationChoices().limitAdTracking = limited;
}

void ZUVPrivacySettings::reset() {
  ZUVPrivacy::shared().applicationChoices() = {};
}
