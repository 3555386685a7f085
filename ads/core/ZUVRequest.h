#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/support/ZUVLocation.h"
#include "platform/foundation/Value.h"

class ZUVRequestPrivate;

// The request that the application hands to a banner. Every request is a ZUVRequestPrivate:
// request() makes one and copy() makes a new one from the original.
class ZUVRequest {
 public:
  virtual ~ZUVRequest() = default;

  static std::shared_ptr<ZUVRequest> request();
  // "zede-sdk-i-v4.0.2": the one text for the life of the process.
  static const std::string& sdkVersion();

  std::shared_ptr<ZUVRequestPrivate> copy() const;

  const std::optional<std::vector<std::string>>& keywords() const { return keywords_; }
  void setKeywords(std::optional<std::vector<std::string>> keywords) {
    keywords_ = std::move(keywords);
  }
  const std::optional<platform::Date>& birthday() const { return birthday_; }
  void setBirthday(std::optional<platform::Date> birthday) { birthday_ = birthday; }
  // 1 male, 2 female; other values are not sent.
  std::int32_t gender() const { return gender_; }
  void setGender(std::int32_t gender) { gender_ = gender; }
  const std::optional<platform::Dictionary>& additionalParameters() const {
    return additionalParameters_;
  }
  void setAdditionalParameters(std::optional<platform::Dictionary> parameters) {
    additionalParameters_ = std::move(parameters);
  }
  bool isTesting() const { return testing_; }
  void setTesting(bool testing) { testing_ = testing; }

  virtual void setBirthdayWithMonthDayYear(int month, int day, int year) = 0;
  virtual void setLocationWithLatitudeLongitudeAccuracy(float latitude, float longitude,
                                                        float accuracy) = 0;
  virtual void setLocationWithDescription(const std::string& description) = 0;
  virtual void addKeyword(const std::string& keyword) = 0;

 protected:
  ZUVRequest() = default;
  ZUVRequest(const ZUVRequest&) = default;

 private:
  std::optional<std::vector<std::string>> keywords_;
  std::optional<platform::Date> birthday_;
  std::int32_t gender_ = 0;
  std::optional<platform::Dictionary> additionalParameters_;
  bool testing_ = false;
};
