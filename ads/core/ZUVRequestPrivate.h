#pragma once

#include <optional>
#include <string>

#include "ads/core/ZUVRequest.h"
#include "ads/support/ZUVLocation.h"

// The concrete request: targeting data, the interstitial flag, the number of the load, and
// the parameters of one ad request.
class ZUVRequestPrivate final : public ZUVRequest {
 public:
  ZUVRequestPrivate() = default;
  // Copies the targeting fields and the interstitial flag; the counter starts at 0.
  explicit ZUVRequestPrivate(const ZUVRequest& request);
  // The public copy(), typed as the client's own request.
  std::shared_ptr<ZUVRequestPrivate> copy() const;

  // 4 "vodov", 5 "xfp", 1 "adsense", 0 anything else (exact match).
  static std::int32_t requestTypeFromString(const std::string& type);
  static bool deviceAtLeastMinimumOSMajorVersionMinorVersion(int major, int minor);

  void setBirthdayWithMonthDayYear(int month, int day, int year) override;
  // Coordinates that are not precise clear the location.
  void setLocationWithLatitudeLongitudeAccuracy(float latitude, float longitude,
                                                float accuracy) override;
  // An empty description clears the location.
  void setLocationWithDescription(const std::string& description) override;
  // Empty keywords are ignored; duplicates are kept.
  void addKeyword(const std::string& keyword) override;

  const std::optional<ZUVLocation>& location() const { return location_; }
  void setLocation(std::optional<ZUVLocation> location) { location_ = std::move(location); }
  bool isInterstitialAd() const { return interstitialAd_; }
  void setInterstitialAd(bool interstitial) { interstitialAd_ = interstitial; }
  std::int32_t counter() const { return counter_; }
  void setCounter(std::int32_t counter) { counter_ = counter; }

  std::optional<std::string> genderString() const;
  // "yyyyMMdd" in the device's time zone.
  std::optional<std::string> birthdayString() const;

  // The parameters of one ad request. Takes the prior-request statistics, so each is
  // reported once.
  platform::Dictionary parameters() const;
  // The same entries, leaving the statistics for the request that will carry them.
  platform::Dictionary currentParameters() const;
  // The request signal as one pair, or empty.
  platform::Dictionary spamSignals() const;

  std::string description() const;

 private:
  platform::Dictionary parametersWithStatistics(const platform::Dictionary& statistics) const;

  std::optional<ZUVLocation> location_;
  bool interstitialAd_ = false;
  std::int32_t counter_ = 0;
};
