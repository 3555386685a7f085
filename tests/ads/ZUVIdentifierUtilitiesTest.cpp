#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <limits>

#include "ads/support/ZUVIdentifierUtilities.h"
#include "ads/support/ZUVNumberUtilities.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/media/AudioSession.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "tests/support/TestWorld.h"

namespace {

using platform::DeviceProfile;

class ZUVIdentifierUtilitiesTest : public ::testing::Test {
 protected:
  ZUVIdentifierUtilitiesTest() : saved_(DeviceProfile::current()) {
    DeviceProfile::current().uniqueIdentifier = "abc";
  }
  ~ZUVIdentifierUtilitiesTest() override {
    DeviceProfile::current() = saved_;
    platform::AudioSession::shared().setInitializeStatus(platform::kAudioSessionNoError);
    platform::AudioSession::shared().setRouteStatus(platform::kAudioSessionNoError);
  }

  velour_test::TestWorld world_;
  DeviceProfile saved_;
};

template <typename Ids>
platform::Value parametersOf(Ids&& ids) {
  return ids.parameters();
}

std::string versionOf(const std::string& text) {
  DeviceProfile::current().systemVersion = text;
  int major = -1, minor = -1, bugFix = -1;
  ZUVIdentifierUtilities::getOSMajorMinorBugFix(&major, &minor, &bugFix);
  return std::to_string(major) + " " + std::to_string(minor) + " " + std::to_string(bugFix);
}

TEST_F(ZUVIdentifierUtilitiesTest, VersionsParseAndCompare) {
  EXPECT_EQ(versionOf("4.2"), "4 2 0");
  EXPECT_EQ(versionOf("4.3.1.9"), "4 3 1");
  EXPECT_EQ(versionOf("10.beta.3"), "10 0 3");
  EXPECT_EQ(versionOf(""), "0 0 0");
  EXPECT_EQ(versionOf("99999999999.1"), "2147483647 1 0");
  ZUVIdentifierUtilities::getOSMajorMinorBugFix(nullptr, nullptr, nullptr);

  DeviceProfile::current().systemVersion = "4.2";
  EXPECT_FALSE(ZUVIdentifierUtilities::isOSAtLeastMajorMinorBug(4, 2, 1));
  EXPECT_TRUE(ZUVIdentifierUtilities::isOSAtLeastMajorMinorBug(4, 1, 9));
  EXPECT_TRUE(ZUVIdentifierUtilities::isOSAtLeastMajorMinorBug(3, 9, 9));
  EXPECT_FALSE(ZUVIdentifierUtilities::isOSAtLeastMajorMinorBug(5, 0, 0));
}

TEST_F(ZUVIdentifierUtilitiesTest, AudioRouteCodes) {
  ZUVIdentifierUtilities ids;
  auto routeCode = [&](std::optional<std::string> route) {
    DeviceProfile::current().audioRoute = route;
    return ids.audioRoute();
  };
  EXPECT_EQ(routeCode(""), 3);
  EXPECT_EQ(routeCode(std::nullopt), 1);
  EXPECT_EQ(routeCode("HeadsetInOut"), 5);
  EXPECT_EQ(routeCode("headphone"), 5);

  DeviceProfile::current().audioRoute = "Headphone";
  platform::AudioSession::shared().setRouteStatus(560557673);
  EXPECT_EQ(ids.audioRoute(), 1);
  platform::AudioSession::shared().setRouteStatus(platform::kAudioSessionNoError);
  platform::AudioSession::shared().setInitializeStatus(-50);
  EXPECT_EQ(ids.audioRoute(), 1);
  platform::AudioSession::shared().setInitializeStatus(platform::kAudioSessionNoError);
  EXPECT_EQ(ids.audioRoute(), 2);
}

TEST_F(ZUVIdentifierUtilitiesTest, DeviceParametersFollowTheScreenAndTheDevice) {
  // The full table for a phone is checked through the vozave "device" command.
  ZUVIdentifierUtilities ids;
  auto app = platform::Application::shared();
  app->setStatusBarOrientation(platform::InterfaceOrientation::LandscapeLeft);
  auto landscape = parametersOf(ids);
  EXPECT_EQ(landscape["u_so"].stringValue() + landscape["u_w"].stringValue() + "x" +
                landscape["u_h"].stringValue(),
            "l480x320");

  DeviceProfile& profile = DeviceProfile::current();
  profile.model = "iPad";
  profile.screenScale.reset();
  EXPECT_EQ(ids.screenDensity(), 1.0f);

  // The idiom is fixed when the instance is made; a pad idiom sends no compatibility flag,
  // and a system that cannot tell counts as a phone.
  profile.interfaceIdiom = 1;
  EXPECT_FALSE(ZUVIdentifierUtilities().parameters().contains("ios_ipadc"));
  profile.interfaceIdiom.reset();
  EXPECT_TRUE(ZUVIdentifierUtilities().isPhoneIdiom());

  EXPECT_FALSE(ids.isJailbroken());
  std::filesystem::create_directories(platform::deviceFileSystemPath("/Applications/Cydia.app"));
  EXPECT_TRUE(ZUVIdentifierUtilities::detectJailbreak());
  EXPECT_EQ(parametersOf(ZUVIdentifierUtilities())["ios_jb"].stringValue(), "1");
  EXPECT_FALSE(ids.isJailbroken());  // fixed at creation
}

TEST_F(ZUVIdentifierUtilitiesTest, IdentifiersAreTheDigestOfTheUniqueIdentifier) {
  ZUVIdentifierUtilities ids;
  EXPECT_EQ(ids.deviceIdentifier(), "900150983CD24FB0D6963F7D28E17F72");
  auto first = HashedDeviceIdentifier();
  DeviceProfile::current().uniqueIdentifier = "another device";
  auto second = HashedDeviceIdentifier();
  EXPECT_NE(first, second);  // each caller keeps its own bytes
  EXPECT_EQ(ids.deviceIdentifier(), "900150983CD24FB0D6963F7D28E17F72");  // cached

  // A device without a set identifier hashes the one kept in its home folder.
  DeviceProfile::current().uniqueIdentifier.clear();
  ZUVIdentifierUtilities fresh;
  const std::string hex = fresh.deviceIdentifier();
  ASSERT_EQ(hex.size(), 32u);
  EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  const std::string base64 = fresh.deviceIdentifierBase64();
  ASSERT_EQ(base64.size(), 22u);
  EXPECT_EQ(
      base64.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
      std::string::npos);
  EXPECT_EQ(ZUVIdentifierUtilities().deviceIdentifier(), hex);
}

TEST_F(ZUVIdentifierUtilitiesTest, LocaleComesFromTheStoreAndIsRetriedUntilFound) {
  auto& store = platform::UserDefaults::standard();
  ZUVIdentifierUtilities ids;
  store.setObjectForKey(platform::Array{}, "AppleLanguages");
  EXPECT_EQ(ids.locale(), std::nullopt);
  EXPECT_FALSE(ids.parameters().contains("hl"));
  store.setObjectForKey("fr", "AppleLanguages");
  EXPECT_EQ(ids.locale(), std::nullopt);
  store.setObjectForKey(platform::Array{42, "de"}, "AppleLanguages");
  EXPECT_EQ(ids.locale(), std::nullopt);
  store.setObjectForKey(platform::Array{"EN-GB", "fr"}, "AppleLanguages");
  EXPECT_EQ(ids.locale(), "en-gb");
  store.setObjectForKey(platform::Array{"fr"}, "AppleLanguages");
  EXPECT_EQ(ids.locale(), "en-gb");  // fixed once found
}

TEST_F(ZUVIdentifierUtilitiesTest, StoreMetadataIsADictionaryOrEmpty) {
  const std::string home = world_.home();
  velour_test::TestWorld::writeFile(home, "iTunesMetadata.plist",
                                    "<plist><dict><key>itemName</key><string>Velour</string>"
                                    "<key>purchaseDate</key><date>2010-06-01T12:00:00Z</date>"
                                    "</dict></plist>");
  ZUVIdentifierUtilities ids;
  const platform::Dictionary& metadata = ids.iTunesMetadata();
  EXPECT_EQ(metadata.size(), 2u);
  EXPECT_EQ(metadata.find("itemName")->stringValue(), "Velour");
  EXPECT_EQ(metadata.find("purchaseDate")->dateValue().secondsSince1970, 1275393600);
  EXPECT_EQ(parametersOf(ids)["ios_metadata"]["itemName"].stringValue(), "Velour");

  auto read = [&](const std::string& text) {
    return ZUVIdentifierUtilities::readITunesMetadataFileAt(
        velour_test::TestWorld::writeFile(home, "other.plist", text));
  };
  EXPECT_TRUE(read("<plist version=\"1.0\"><array><string>x</string></array></plist>").empty());
  EXPECT_TRUE(read("bplist00\xd1\x01\x02").empty());
  EXPECT_TRUE(ZUVIdentifierUtilities::readITunesMetadataFileAt(home + "/missing.plist").empty());
  // A link to an endless device reads as no file, with a line in the log.
  ASSERT_EQ(symlink("/dev/zero", (home + "/zero.plist").c_str()), 0);
  world_.log().clear();
  EXPECT_TRUE(ZUVIdentifierUtilities::readITunesMetadataFileAt(home + "/zero.plist").empty());
  EXPECT_EQ(world_.log().lines().size(), 1u);
}

// The screen's figures go out through this.
TEST(ZUVNumberUtilitiesTest, FloatsLoseTrailingZerosAndTheBarePoint) {
  EXPECT_EQ(ZUVNumberUtilities::stringWithFloat(320.0f), "320");
  EXPECT_EQ(ZUVNumberUtilities::stringWithFloat(1.5f), "1.5");
  EXPECT_EQ(ZUVNumberUtilities::stringWithFloat(0.0000001f), "0");
  EXPECT_EQ(ZUVNumberUtilities::stringWithFloat(-0.0000001f), "0");
  EXPECT_EQ(ZUVNumberUtilities::stringWithFloat(0.125f), "0.125");
  EXPECT_EQ(ZUVNumberUtilities::stringWithFloat(std::numeric_limits<float>::infinity()), "inf");
}

}  // namespace
