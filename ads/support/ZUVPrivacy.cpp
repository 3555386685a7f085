#include "ads/support/ZUVPrivacy.h"

#include <algorithm>

#include "ads/support/ZUVParameterKeys.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"

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

ZUVPrivacySignals ZUVPrivacy::current() {
  ZUVPrivacySignals signals = chosen_;
  // The store is read for what the application left open; its bad values are logged even so
  // only when they count.
  if (!signals.gdprApplies) signals.gdprApplies = gdprApplies();
  if (!signals.tcString)
    signals.tcString = consentString(kTCStringKey, std::string(kBase64URL) + ".");
  if (!signals.purposeConsents) signals.purposeConsents = purposeConsents();
  if (!signals.usPrivacy) signals.usPrivacy = usPrivacy();
  if (!signals.gppString) {
    signals.gppString = consentString(kGppStringKey, std::string(kBase64URL) + ".~");
  }
  if (!signals.gppSections) signals.gppSections = gppSections();
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

std::optional<std::string> ZUVPrivacy::consentString(const char* key, std::string_view alphabet) {
  platform::Value value = stored(key);
  if (value.isNull()) return std::nullopt;
  if (!value.isString() || value.stringValue().empty() ||
      value.stringValue().size() > ZUVPrivacy::kMaxConsentStringBytes ||
      value.stringValue().find_first_not_of(alphabet) != std::string::npos) {
    complain(key, value, "is not a consent string; it is left out");
    return std::nullopt;
  }
  complained_.erase(key);
  return value.stringValue();
}

std::optional<bool> ZUVPrivacy::gdprApplies() {
  platform::Value value = stored(kGdprAppliesKey);
  if (value.isNull()) return std::nullopt;
  if (!value.isNumber() || (value.integerValue(-1) != 0 && value.integerValue(-1) != 1)) {
    complain(kGdprAppliesKey, value, "is neither 0 nor 1; whether the GDPR applies is unknown");
    return std::nullopt;
  }
  complained_.erase(kGdprAppliesKey);
  return value.integerValue(0) == 1;
}

// As far as it is valid: the purposes up to the first character that is not '0' or '1'.
std::optional<std::string> ZUVPrivacy::purposeConsents() {
  platform::Value value = stored(kPurposeConsentsKey);
  if (value.isNull()) return std::nullopt;
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
std::optional<std::string> ZUVPrivacy::usPrivacy() {
  platform::Value value = stored(kUSPrivacyKey);
  if (value.isNull()) return std::nullopt;
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
std::optional<std::vector<int>> ZUVPrivacy::gppSections() {
  platform::Value value = stored(kGppSectionsKey);
  if (value.isNull()) return std::nullopt;
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
