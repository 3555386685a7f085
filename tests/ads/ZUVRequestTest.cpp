#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "ads/core/ZUVRequestError.h"
#include "ads/core/ZUVRequestPrivate.h"
#include "ads/support/ZUVIdentifierUtilities.h"
#include "ads/support/ZUVMacros.h"
#include "ads/support/ZUVPrivacy.h"
#include "ads/support/ZUVStatistics.h"
#include "platform/device/Device.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/TestWorld.h"
#include "vozave/Privacy.h"

using platform::DeviceProfile;
using platform::Dictionary;

namespace {

class ZUVRequestTest : public ::testing::Test {
 protected:
  ZUVRequestTest() : saved_(DeviceProfile::current()) {
    DeviceProfile::current().uniqueIdentifier = "device-1";
    DeviceProfile::current().timeZone = "Europe/Paris";
  }
  ~ZUVRequestTest() override { DeviceProfile::current() = saved_; }

  static std::shared_ptr<ZUVRequestPrivate> privateRequest() {
    return std::dynamic_pointer_cast<ZUVRequestPrivate>(ZUVRequest::request());
  }

  velour_test::TestWorld world_;
  DeviceProfile saved_;
};

TEST_F(ZUVRequestTest, RequestsAndCopiesAreAlwaysPrivateAndCopyTheTargeting) {
  auto request = privateRequest();
  ASSERT_TRUE(request);

  request->setTesting(true);
  request->setGender(2);
  request->setBirthdayWithMonthDayYear(7, 14, 1980);
  request->addKeyword("");
  EXPECT_FALSE(request->keywords());
  request->addKeyword("music");
  request->addKeyword("music");
  request->setAdditionalParameters(Dictionary{{"color", "red"}});
  request->setLocationWithDescription("Paris");
  request->setInterstitialAd(true);
  request->setCounter(9);

  std::shared_ptr<ZUVRequestPrivate> copy = request->copy();
  EXPECT_EQ(copy->birthdayString(), "19800714");
  EXPECT_EQ(copy->keywords(), (std::vector<std::string>{"music", "music"}));
  EXPECT_EQ(copy->additionalParameters(), request->additionalParameters());
  EXPECT_TRUE(copy->isInterstitialAd());
  EXPECT_EQ(copy->counter(), 0);

  // Imprecise coordinates and empty descriptions clear the location.
  copy->setLocationWithLatitudeLongitudeAccuracy(0, 0, 10);
  EXPECT_FALSE(copy->location());
  request->setLocationWithDescription("");
  EXPECT_FALSE(request->location());
}

TEST_F(ZUVRequestTest, ParametersFollowTheTableAndTakeTheStatisticsOnce) {
  auto request = privateRequest();
  Dictionary plain = request->parameters();
  EXPECT_EQ(plain.find("js")->stringValue(), "zede-sdk-i-v4.0.2");
  EXPECT_EQ(plain.find("preqs")->integerValue(), 0);  // even at 0
  for (const char* absent : {"testing", "extras", "cust_gender", "cust_age", "kw", "uule"}) {
    EXPECT_FALSE(plain.contains(absent)) << absent;
  }
  // The identifiers come first, then the request's own keys.
  auto keys = plain.keys();
  EXPECT_EQ(keys.front(), ZUVIdentifierUtilities::sharedInstance().parameters().keys().front());
  EXPECT_EQ(keys.back(), "preqs");

  request->setGender(3);
  EXPECT_FALSE(request->parameters().contains("cust_gender"));
  EXPECT_EQ(request->description().find("gender"), std::string::npos);
  // The targeting values themselves are checked through the vozave "request" command.
  request->setGender(1);
  request->setCounter(4);
  ZUVStatistics::sharedStatistics().incrementClickCount();
  ZUVStatistics::sharedStatistics().startTimingNamed("ptime");

  Dictionary first = request->parameters();
  EXPECT_EQ(first.find("pcc")->integerValue(), 1);
  EXPECT_EQ(first.find("preqs")->integerValue(), 4);
  Dictionary second = request->parameters();
  EXPECT_FALSE(second.contains("pcc"));
  EXPECT_TRUE(second.contains("ptime"));
  EXPECT_NE(request->description().find("\ngender:Male"), std::string::npos);

  // Texts that are not UTF-8 are left out, each with a log line; the rest is still written.
  request->setAdditionalParameters(Dictionary{{"ok", "fine"}, {"bad", "\xff"}, {"\xc3", "v"}});
  request->addKeyword("good");
  request->addKeyword("\xc3");
  Dictionary cleaned = request->parameters();
  EXPECT_EQ(cleaned.find("extras")->dictionaryValue(), (Dictionary{{"ok", "fine"}}));
  EXPECT_EQ(cleaned.find("kw")->arrayValue(), (platform::Array{platform::Value("good")}));
  EXPECT_NE(ZUVMacros::jsonify(platform::Value(cleaned)).value_or(""), "");
  EXPECT_TRUE(world_.log().contains("left out: extras.bad"));
  EXPECT_TRUE(world_.log().contains("left out: kw[1]"));
}

// Each case: what consent tools stored and the application chose, then what the JSON text the
// support script gets holds and lacks.
TEST_F(ZUVRequestTest, PrivacySignalsReachTheRequestAndWithholdWhatTheyForbid) {
  using platform::Value;
  struct Case {
    const char* name;
    std::vector<std::pair<const char*, Value>> stored;
    std::function<void()> chosen;  // through the public settings
    std::vector<std::string> holds, lacks;
  };
  const std::string bigString(1 << 20, 'A');
  const std::vector<Case> cases = {
      {"none", {}, {}, {"\"isu\":", "\"uule\":"}, {"gdpr", "us_privacy", "gpp", "coppa", "lmt"}},
      {"gdpr with purpose 1",
       {{"IABTCF_gdprApplies", Value(1)},
        {"IABTCF_TCString", Value("CPx.Ab-_")},
        {"IABTCF_PurposeConsents", Value("1101")}},
       {},
       {"\"gdpr\":1", "\"gdpr_consent\":\"CPx.Ab-_\"", "\"isu\":", "\"uule\":"},
       {}},
      {"gdpr without purpose 1",
       {{"IABTCF_gdprApplies", Value(1)}, {"IABTCF_PurposeConsents", Value("0111")}},
       {},
       {"\"gdpr\":1"},
       {"\"isu\":", "\"uule\":"}},
      {"gdpr, purposes unknown", {{"IABTCF_gdprApplies", Value(1)}}, {}, {}, {"\"isu\":"}},
      {"undetermined",
       {{"IABTCF_TCString", Value("CPx")}},
       {},
       {"gdpr_consent", "\"isu\":"},
       {"\"gdpr\":"}},
      {"the application says no gdpr",
       {{"IABTCF_gdprApplies", Value(1)}},
       [] { ZUVPrivacySettings::setGDPRApplies(false); },
       {"\"gdpr\":0", "\"isu\":"},
       {}},
      {"us privacy and gpp",
       {{"IABUSPrivacy_String", Value("1YNN")},
        {"IABGPP_HDR_GppString", Value("DBABM~CPx.Q")},
        {"IABGPP_GppSID", Value("2_7")}},
       {},
       {"\"us_privacy\":\"1YNN\"", "\"gpp\":\"DBABM~CPx.Q\"", "\"gpp_sid\":[2,7]"},
       {}},
      {"children",
       {},
       [] { ZUVPrivacySettings::setChildDirected(true); },
       {"\"coppa\":1"},
       {"\"isu\":", "\"uule\":"}},
      {"limited tracking",
       {},
       [] { ZUVPrivacySettings::setLimitAdTracking(true); },
       {"\"lmt\":1"},
       {"\"isu\":"}},
      {"bad values",
       {{"IABTCF_gdprApplies", Value("1")},
        {"IABTCF_TCString", Value(bigString)},
        {"IABTCF_PurposeConsents", Value("1x" + std::string(10000, '0'))},
        {"IABUSPrivacy_String", Value(1)},
        {"IABGPP_GppSID", Value("2__x")}},
       {},
       {"\"gpp_sid\":[2]", "\"isu\":"},
       {"gdpr", "us_privacy"}},
  };
  auto request = privateRequest();
  request->setLocationWithLatitudeLongitudeAccuracy(48.85f, 2.35f, 10);
  auto& store = platform::UserDefaults::standard();
  auto clearStore = [&store] {
    for (const char* key : {"IABTCF_gdprApplies", "IABTCF_TCString", "IABTCF_PurposeConsents",
                            "IABUSPrivacy_String", "IABGPP_HDR_GppString", "IABGPP_GppSID"}) {
      store.removeObjectForKey(key);
    }
  };
  for (const Case& test : cases) {
    clearStore();
    for (const auto& [key, value] : test.stored) store.setObjectForKey(value, key);
    ZUVPrivacySettings::reset();
    if (test.chosen) test.chosen();
    std::string json = ZUVMacros::jsonify(Value(request->parameters())).value_or("");
    for (const std::string& text : test.holds) {
      EXPECT_NE(json.find(text), std::string::npos) << test.name << ": " << text;
    }
    for (const std::string& text : test.lacks) {
      EXPECT_EQ(json.find(text), std::string::npos) << test.name << ": " << text;
    }
  }
  // Each bad value is logged once while it stays; a place the application named may still go.
  (void)request->parameters();
  const auto& lines = world_.log().lines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& line) {
                            return line.find("IABGPP_GppSID \"2__x\" is read as its first 1") !=
                                   std::string::npos;
                          }),
            1);
  EXPECT_TRUE(world_.log().contains("IABTCF_PurposeConsents \"1x"));
  ZUVPrivacySettings::setChildDirected(true);
  request->setLocationWithDescription("Paris");
  EXPECT_TRUE(request->parameters().contains("uule"));
  // The application's values get the store's checks; a refused one changes nothing.
  ZUVPrivacySettings::reset();
  clearStore();
  store.setObjectForKey(Value("1YNN"), "IABUSPrivacy_String");
  EXPECT_FALSE(ZUVPrivacySettings::setUSPrivacyString("2YNN"));
  EXPECT_FALSE(ZUVPrivacySettings::setPurposeConsents("1a"));
  EXPECT_FALSE(ZUVPrivacySettings::setGPPSectionIDs(std::vector<int>{2, -7}));
  EXPECT_TRUE(ZUVPrivacySettings::setTCString("CPy"));
  const ZUVPrivacySignals now = ZUVPrivacy::shared().current();
  EXPECT_EQ(now.usPrivacy, "1YNN");
  EXPECT_FALSE(now.purposeConsents || now.gppSections);
  EXPECT_EQ(now.tcString, "CPy");
  ZUVPrivacySettings::reset();
}

TEST_F(ZUVRequestTest, SignalsErrorsAndAnInvalidRequestsParameters) {
  EXPECT_EQ(ZUVRequestPrivate::requestTypeFromString("VoDov"), 0);
  Dictionary signal = privateRequest()->spamSignals();
  ASSERT_EQ(signal.size(), 1u);
  EXPECT_FALSE(signal.find("ms")->stringValue().empty());

  // The OS error names the device's version; codes out of the table read as code 0.
  DeviceProfile::current().systemVersion = "2.2.1";
  platform::Error old = ZUVRequestError::errorWithCodeRequest(3, nullptr);
  EXPECT_EQ(old.domain, kZUVErrorDomain);
  EXPECT_EQ(old.localizedDescription(),
            "Request Error: This device's OS is 2.2.1.  It is below the minimum of 3.0.");
  EXPECT_EQ(old.userInfo.find("NSLocalizedFailureReason")->stringValue(),
            old.localizedDescription());
  EXPECT_EQ(ZUVRequestError::localizedStringForErrorCode(7),
            ZUVRequestError::localizedStringForErrorCode(0));

  // The invalid-request error shows the parameters but leaves the statistics in place for
  // the request that will carry them.
  auto request = privateRequest();
  ZUVStatistics::sharedStatistics().incrementClickCount();
  platform::Error invalid = ZUVRequestError::errorWithCodeRequest(0, request.get());
  EXPECT_EQ(invalid.userInfo.find("pcc")->integerValue(), 1);
  EXPECT_EQ(request->parameters().find("pcc")->integerValue(), 1);
  EXPECT_FALSE(ZUVRequestError::errorWithCodeRequest(1, request.get()).userInfo.contains("js"));
}

}  // namespace
