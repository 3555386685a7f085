#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/crypto/Crypto.h"
#include "platform/device/Device.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Text.h"
#include "tests/support/TestWorld.h"

namespace {

using platform::DeviceProfile;

using platform::text::hexString;

std::string unhex(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    out += static_cast<char>(platform::text::hexDigitValue(text[i]) * 16 +
                             platform::text::hexDigitValue(text[i + 1]));
  }
  return out;
}

// The model, the scale and the bundle version are also set through the vozave "device" command.
TEST(DeviceTest, ProfileValuesFromText) {
  DeviceProfile profile;
  for (auto [key, text] : {std::pair{"idiom", "pad"},
                           {"screen", "768x1024"},
                           {"languages", "fr,,de"},
                           {"audio-route", ""}}) {
    auto set = profile.setValueForKey(key, text);
    EXPECT_TRUE(set) << key << ": " << (set ? "" : set.error().localizedDescription());
  }
  EXPECT_EQ(profile.interfaceIdiom, 1);
  EXPECT_EQ(profile.screenSize, (platform::Size{768, 1024}));
  EXPECT_EQ(profile.preferredLanguages, (std::vector<std::string>{"fr", "de"}));
  EXPECT_EQ(profile.audioRoute, "");
  for (const char* key : {"idiom", "scale", "audio-route"}) {
    EXPECT_TRUE(profile.setValueForKey(key, "(none)")) << key;
  }
  EXPECT_FALSE(profile.interfaceIdiom);
  EXPECT_FALSE(profile.screenScale);
  EXPECT_FALSE(profile.audioRoute);

  for (auto [key, text] : {std::pair{"idiom", "tv"},
                           {"scale", "0"},
                           {"scale", "2x"},
                           {"scale", "1e308"},
                           {"screen", "320x1e300"},
                           {"screen", "320"},
                           {"screen", "320xinf"},
                           {"status-bar-height", ""},
                           {"reachability", "5g"}}) {
    auto set = profile.setValueForKey(key, text);
    ASSERT_FALSE(set) << key << "=" << text;
    EXPECT_FALSE(set.error().localizedDescription().empty());
  }
  EXPECT_EQ(profile.screenSize, (platform::Size{768, 1024}));
}

TEST(DeviceTest, UniqueIdentifierIsMadeOnceAndKeptInTheHomeFolder) {
  DeviceProfile saved = DeviceProfile::current();
  DeviceProfile::current().uniqueIdentifier.clear();
  std::string first, second;
  {
    velour_test::TestWorld world;
    first = platform::deviceUniqueIdentifier();
    ASSERT_EQ(first.size(), 40u);
    EXPECT_EQ(first.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(platform::deviceUniqueIdentifier(), first);
    auto& files = platform::FileManager::defaultManager();
    std::string path = world.home() + "/Library/DeviceIdentifier";
    auto stored = files.readFile(path);
    ASSERT_TRUE(stored);
    EXPECT_EQ(std::string(stored->begin(), stored->end()), first);

    // Another device (home folder) has its own; coming back reads the kept one.
    std::string home = world.home();
    files.setHomeDirectory(world.makeFolder("other"));
    second = platform::deviceUniqueIdentifier();
    EXPECT_NE(second, first);
    files.setHomeDirectory(home);
    EXPECT_EQ(platform::deviceUniqueIdentifier(), first);

    // A damaged file is replaced by a new identifier.
    files.setHomeDirectory(world.makeFolder("damaged"));
    world.makeFolder("damaged/Library");
    velour_test::TestWorld::writeFile(world.home() + "/damaged/Library", "DeviceIdentifier",
                                      "not an identifier");
    std::string replaced = platform::deviceUniqueIdentifier();
    auto rewritten = files.readFile(world.home() + "/damaged/Library/DeviceIdentifier");
    EXPECT_EQ(std::string(rewritten->begin(), rewritten->end()), replaced);

    // One that cannot be read is left as it is; this run makes do with its own.
    files.setHomeDirectory(world.makeFolder("fifo"));
    world.makeFolder("fifo/Library");
    std::string fifo = world.home() + "/fifo/Library/DeviceIdentifier";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    world.log().clear();
    std::string own = platform::deviceUniqueIdentifier();
    EXPECT_EQ(world.log().lines().size(), 1u);
    EXPECT_FALSE(files.readFile(fifo));

    DeviceProfile::current().uniqueIdentifier = "set by a test";
    EXPECT_EQ(platform::deviceUniqueIdentifier(), "set by a test");
    EXPECT_EQ(platform::deviceFileSystemPath("/Applications/Cydia.app"),
              files.homeDirectory() + "/DeviceRoot/Applications/Cydia.app");
  }
  DeviceProfile::current() = saved;
}

// The digest's vector is checked by the ad client's device identifier, the MD5 of "abc".
TEST(DeviceTest, CipherVectors) {
  // NIST SP 800-38A, F.2.1 and F.2.2 (the first two blocks).
  platform::Aes128Key key;
  platform::Aes128Vector iv;
  std::string k = unhex("2b7e151628aed2a6abf7158809cf4f3c");
  std::string v = unhex("000102030405060708090a0b0c0d0e0f");
  std::copy(k.begin(), k.end(), key.begin());
  std::copy(v.begin(), v.end(), iv.begin());
  std::string plain = unhex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51");
  auto cipher = platform::aes128CbcEncryptNoPadding(key, iv, plain);
  ASSERT_TRUE(cipher);
  EXPECT_EQ(hexString(*cipher), "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2");
  EXPECT_EQ(platform::aes128CbcDecryptNoPadding(key, iv, *cipher), plain);
  EXPECT_FALSE(platform::aes128CbcEncryptNoPadding(key, iv, "fifteen bytes.."));
  EXPECT_FALSE(platform::aes128CbcDecryptNoPadding(key, iv, std::string(17, 'x')));
}

}  // namespace
