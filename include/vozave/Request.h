#pragma once

/// @file
/// ZUVRequest: what the application tells the ad server about the ad it wants (targeting).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "velourphone/Export.h"
#include "velourphone/Value.h"

// The request that the application hands to a banner: request() makes one and copy() makes a
// new one from the original.
class VOZAVE_API ZUVRequest {
 public:
  virtual ~ZUVRequest() = default;

  // A new request without targeting; the banner keeps a copy when it loads.
  static std::shared_ptr<ZUVRequest> request();
  // "zede-sdk-i-v4.0.2": the one text for the life of the process.
  static const std::string& sdkVersion();

  // An independent copy with the same targeting.
  std::shared_ptr<ZUVRequest> copy() const;

  // Words that describe the application's content, sent as "kw"; none when unset.
  const std::optional<std::vector<std::string>>& keywords() const { return keywords_; }
  // Replaces the keywords; nothing removes the key.
  void setKeywords(std::optional<std::vector<std::string>> keywords) {
    keywords_ = std::move(keywords);
  }
  // The user's birthday, sent as a day (YYYYMMDD) in the device's time zone.
  const std::optional<platform::Date>& birthday() const { return birthday_; }
  // Nothing removes it from the request.
  void setBirthday(std::optional<platform::Date> birthday) { birthday_ = birthday; }
  // 1 male, 2 female; other values are not sent.
  std::int32_t gender() const { return gender_; }
  void setGender(std::int32_t gender) { gender_ = gender; }  // 1 male, 2 female, else not sent
  // Extra key-value pairs for the ad server, sent as they are under "extras".
  const std::optional<platform::Dictionary>& additionalParameters() const {
    return additionalParameters_;
  }
  // Replaces the extra pairs.
  void setAdditionalParameters(std::optional<platform::Dictionary> parameters) {
    additionalParameters_ = std::move(parameters);
  }
  // Marks the request as a test ("testing": "1"), so that the ad server answers with test ads.
  bool isTesting() const { return testing_; }
  void setTesting(bool testing) { testing_ = testing; }  // on during development

  // The birthday from a calendar day in the device's time zone.
  virtual void setBirthdayWithMonthDayYear(int month, int day, int year) = 0;
  // A precise location in degrees, with its accuracy in metres; sent encrypted. Ignored (and
  // any earlier location dropped) unless |latitude| <= 90, |longitude| <= 180 and neither is 0.
  virtual void setLocationWithLatitudeLongitudeAccuracy(float latitude, float longitude,
                                                        float accuracy) = 0;
  // A place named in words ("Paris, France"); an empty text drops the location.
  virtual void setLocationWithDescription(const std::string& description) = 0;
  // Adds one keyword; an empty one is ignored.
  virtual void addKeyword(const std::string& keyword) = 0;

 protected:
  ZUVRequest() = default;
  ZUVRequest(const ZUVRequest&) = default;  // for copy()

 private:
  std::optional<std::vector<std::string>> keywords_;
  std::optional<platform::Date> birthday_;
  std::int32_t gender_ = 0;
  std::optional<platform::Dictionary> additionalParameters_;
  bool testing_ = false;
};
