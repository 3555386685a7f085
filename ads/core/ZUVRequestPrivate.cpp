#include "ads/core/ZUVRequestPrivate.h"

#include <cstdio>

#include "ads/signals/ZUVSignals.h"
#include "ads/support/ZUVIdentifierUtilities.h"
#include "ads/support/ZUVNetworkChecker.h"
#include "ads/support/ZUVParameterKeys.h"
#include "ads/support/ZUVPrivacy.h"
#include "ads/support/ZUVStatistics.h"
#include "platform/device/Device.h"
#include "platform/foundation/Calendar.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"

namespace {

platform::Value textArray(const std::vector<std::string>& texts) {
  platform::Array array;
  for (const std::string& text : texts) array.emplace_back(text);
  return platform::Value(std::move(array));
}

// `value` without the texts, keys included, that are not UTF-8: one of them would make the
// whole request unwritable as JSON. Each one left out is logged under its path.
platform::Value withoutBrokenText(const platform::Value& value, const std::string& path) {
  auto broken = [&](std::string_view text, const std::string& where) {
    if (platform::text::isValidUtf8(text)) return false;
    platform::log("<Vozave> A request value that is not UTF-8 text was left out: " +
                  platform::text::singleLine(where));
    return true;
  };
  if (value.isString()) return value;
  if (value.isArray()) {
    platform::Array kept;
    for (std::size_t i = 0; i < value.arrayValue().size(); ++i) {
      const platform::Value& item = value.arrayValue()[i];
      std::string where = path + "[" + std::to_string(i) + "]";
      if (item.isString() && broken(item.stringValue(), where)) continue;
      kept.push_back(withoutBrokenText(item, where));
    }
    return platform::Value(std::move(kept));
  }
  if (value.isDictionary()) {
    platform::Dictionary kept;
    for (const auto& [key, item] : value.dictionaryValue()) {
      std::string where = path.empty() ? key : path + "." + key;
      if (broken(key, where) || (item.isString() && broken(item.stringValue(), where))) continue;
      kept.set(key, withoutBrokenText(item, where));
    }
    return platform::Value(std::move(kept));
  }
  return value;
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1) {
    pieces.push_back(text.substr(start, end - start));
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

}  // namespace

ZUVRequestPrivate::ZUVRequestPrivate(const ZUVRequest& request) : ZUVRequest(request) {
  if (auto* other = dynamic_cast<const ZUVRequestPrivate*>(&request)) {
    location_ = other->location_;
    interstitialAd_ = other->interstitialAd_;
  }
}

std::int32_t ZUVRequestPrivate::requestTypeFromString(const std::string& type) {
  if (type == "vodov") return 4;
  if (type == "xfp") return 5;
  if (type == "adsense") return 1;
  return 0;
}

bool ZUVRequestPrivate::deviceAtLeastMinimumOSMajorVersionMinorVersion(int major, int minor) {
  int osMajor = 0, osMinor = 0, osBugFix = 0;
  ZUVIdentifierUtilities::getOSMajorMinorBugFix(&osMajor, &osMinor, &osBugFix);
  return osMajor > major || (osMajor == major && osMinor >= minor);
}

void ZUVRequestPrivate::setBirthdayWithMonthDayYear(int month, int day, int year) {
  setBirthday(platform::dateFromComponents({year, month, day},
                                           platform::DeviceProfile::current().timeZone));
}

void ZUVRequestPrivate::setLocationWithLatitudeLongitudeAccuracy(float latitude, float longitude,
                                                                 float accuracy) {
  location_ = ZUVLocation::createWithLatitudeLongitudeAccuracy(latitude, longitude, accuracy);
}

void ZUVRequestPrivate::setLocationWithDescription(const std::string& description) {
  location_ = ZUVLocation::createWithDescription(description);
}

void ZUVRequestPrivate::addKeyword(const std::string& keyword) {
  if (keyword.empty()) return;
  std::vector<std::string> all = keywords().value_or(std::vector<std::string>());
  all.push_back(keyword);
  setKeywords(std::move(all));
}

std::optional<std::string> ZUVRequestPrivate::genderString() const {
  if (gender() == 1) return "m";
  if (gender() == 2) return "f";
  return std::nullopt;
}

std::optional<std::string> ZUVRequestPrivate::birthdayString() const {
  if (!birthday()) return std::nullopt;
  return platform::compactDayText(*birthday(), platform::DeviceProfile::current().timeZone);
}

platform::Dictionary ZUVRequestPrivate::parametersWithStatistics(
    const platform::Dictionary& statistics) const {
  const ZUVPrivacySignals privacy = ZUVPrivacy::shared().current();
  const bool mayUseDevice = privacy.mayUseDevice();
  platform::Dictionary parameters = ZUVIdentifierUtilities::sharedInstance().parameters();
  if (!mayUseDevice) parameters.remove(kZUVParameterDeviceID);
  parameters.set(kZUVParameterSDKVersion, sdkVersion());
  if (auto network = ZUVNetworkChecker::sharedChecker()->networkTypeString()) {
    parameters.set(kZUVParameterNetworkType, *network);
  }
  if (isTesting()) parameters.set(kZUVParameterTesting, "1");
  if (additionalParameters()) parameters.set(kZUVParameterExtraParams, *additionalParameters());
  if (auto gender = genderString()) parameters.set(kZUVParameterGender, *gender);
  if (auto day = birthdayString()) parameters.set(kZUVParameterBirthday, *day);
  if (keywords()) parameters.set(kZUVParameterKeywords, textArray(*keywords()));
  // Without the right to use the device, a place the application named may go, coordinates
  // may not.
  if (location_ && (mayUseDevice || !location_->isPreciseLocation())) {
    if (auto encoded = location_->oolongRepresentation()) {
      parameters.set(kZUVParameterLocation, *encoded);
    }
  }
  privacy.addParameters(parameters);
  for (const auto& [key, value] : statistics) parameters.set(key, value);
  parameters.set(kZUVParameterTotalAdRequests, platform::Value(counter_));
  return withoutBrokenText(platform::Value(std::move(parameters)), "").dictionaryValue();
}

platform::Dictionary ZUVRequestPrivate::parameters() const {
  return parametersWithStatistics(ZUVStatistics::sharedStatistics().parameters());
}

platform::Dictionary ZUVRequestPrivate::currentParameters() const {
  return parametersWithStatistics(ZUVStatistics::sharedStatistics().currentParameters());
}

platform::Dictionary ZUVRequestPrivate::spamSignals() const {
  std::string signal;
  if (zuv_gmrs(signal) == 0) return {};
  std::vector<std::string> pieces = split(signal, '=');
  if (pieces.size() < 2 || pieces[1].empty()) return {};
  return platform::Dictionary{{pieces[0], pieces[1]}};
}

std::string ZUVRequestPrivate::description() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  std::string text = "ZUVRequest<" + std::string(address) + ">: ";
  if (gender() == 1) text += "\ngender:Male";
  if (gender() == 2) text += "\ngender:Female";
  if (birthday()) text += "\nbirthday:" + platform::Value(*birthday()).debugDescription();
  if (location_) text += "\nlocation:" + location_->description();
  if (keywords()) text += "\nkeywords:" + textArray(*keywords()).debugDescription();
  if (additionalParameters()) {
    text += "\nadditionalParameters:" + platform::Value(*additionalParameters()).debugDescription();
  }
  return text;
}
