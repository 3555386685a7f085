#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/TestWorld.h"

using platform::Array;
using platform::Bytes;
using platform::Date;
using platform::Decimal;
using platform::decodePropertyList;
using platform::Dictionary;
using platform::encodePropertyList;
using platform::FileManager;
using platform::UserDefaults;
using platform::Value;

namespace {

class UserDefaultsTest : public ::testing::Test {
 protected:
  static const FileManager& files() { return FileManager::defaultManager(); }

  std::string read(const std::string& path) const {
    auto bytes = files().readFile(path);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
  }

  velour_test::TestWorld world_;
  std::string home_ = world_.home(), path_ = home_ + "/store.plist";
};

std::string decodeError(std::string_view text) {
  auto decoded = decodePropertyList(text);
  EXPECT_FALSE(decoded) << text;
  return decoded ? std::string() : decoded.error().localizedDescription();
}

std::string nested(int depth) {
  std::string text = "<plist>";
  for (int i = 0; i < depth; ++i) text += "<array>";
  for (int i = 0; i < depth; ++i) text += "</array>";
  return text + "</plist>";
}

}  // namespace

TEST_F(UserDefaultsTest, EveryValueKindSurvivesTheFileInOrder) {
  Bytes data{0, 1, 2, 0xFE, 0xFF};
  Value nestedValue = Dictionary{
      {"z", Array{1, Value(), "two", Dictionary{{"deep", true}}}}, {"a", Value()}, {"m", Array{}}};
  {
    UserDefaults store(path_);
    store.setObjectForKey("text <&> \"quoted\" \x01\r\n\t caf\xC3\xA9", "string");
    store.setObjectForKey(-9007199254740993LL, "integer");
    store.setObjectForKey(0.1, "real");
    store.setObjectForKey(Decimal{"1.10"}, "decimal");
    store.setObjectForKey(true, "yes");
    store.setObjectForKey(false, "no");
    store.setObjectForKey(Date{1796613780.125}, "date");
    store.setObjectForKey(data, "data");
    store.setObjectForKey(nestedValue, "nested");
    store.setObjectForKey("gone", "removed");
    store.setObjectForKey(Value(), "removed");
    EXPECT_TRUE(store.synchronize());
  }
  std::string text = read(path_);
  EXPECT_NE(text.find("<real>1.10</real>"), std::string::npos);
  EXPECT_NE(text.find("<date>2026-12-07T03:23:00.125Z</date>"), std::string::npos);
  auto decoded = decodePropertyList(text);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->dictionaryValue().keys(),
            (std::vector<std::string>{"string", "integer", "real", "decimal", "yes", "no", "date",
                                      "data", "nested"}));
  EXPECT_EQ((*decoded)["nested"].dictionaryValue().keys(), (std::vector<std::string>{"z", "m"}));

  UserDefaults again(path_);
  EXPECT_EQ(again.objectForKey("string").stringValue(),
            "text <&> \"quoted\" \x01\r\n\t caf\xC3\xA9");
  EXPECT_EQ(again.objectForKey("integer").integerValue(), -9007199254740993LL);
  EXPECT_EQ(again.objectForKey("decimal"), Value(1.1));
  EXPECT_EQ(again.objectForKey("date"), Value(Date{1796613780.125}));
  EXPECT_EQ(again.objectForKey("data"), Value(data));
  EXPECT_EQ(again.objectForKey("nested"),
            Value(Dictionary{{"z", Array{1, "two", Dictionary{{"deep", true}}}}, {"m", Array{}}}));
  EXPECT_TRUE(again.objectForKey("removed").isNull());
}

// Setting a first bad file aside is also checked where the ad client's store heals.
TEST_F(UserDefaultsTest, ACorruptFileIsSetAsideOnceBesideEarlierOnesAndReplaced) {
  ASSERT_TRUE(files().writeAtomically(path_ + ".corrupt-1", std::string("earlier")));
  ASSERT_TRUE(files().writeAtomically(path_, std::string("<plist><string>x</string></plist>")));
  {
    platform::LogCapture log;
    UserDefaults store(path_);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines()[0].find(path_), std::string::npos);
    store.setObjectForKey("fresh", "x");
    EXPECT_TRUE(store.synchronize());
    EXPECT_EQ(log.lines().size(), 1u);
  }
  EXPECT_EQ(UserDefaults(path_).objectForKey("x").stringValue(), "fresh");
  EXPECT_EQ(read(path_ + ".corrupt-1"), "earlier");
  EXPECT_EQ(read(path_ + ".corrupt-2"), "<plist><string>x</string></plist>");

  // With many copies already there, the newest few are kept, the one just found among them.
  for (int n = 3; n <= 1000; ++n) std::ofstream(path_ + ".corrupt-" + std::to_string(n)) << n;
  ASSERT_TRUE(files().writeAtomically(path_, std::string("<plist><dict>")));
  UserDefaults found(path_);
  EXPECT_EQ(read(path_ + ".corrupt-1001"), "<plist><dict>");
  EXPECT_EQ(files().contentsOfDirectory(home_).size(), 5u);
  EXPECT_EQ(read(path_ + ".corrupt-997"), "997");
}

TEST_F(UserDefaultsTest, AFileThatCannotBeReadIsLeftAsItIsAndNeverWrittenOver) {
  const std::string valid = encodePropertyList(Dictionary{{"kept", "yes"}});
  ASSERT_TRUE(files().writeAtomically(path_, valid));
  auto expectRefused = [&](UserDefaults& store, platform::LogCapture& log, const char* why) {
    EXPECT_EQ(log.lines().size(), 1u) << why;
    EXPECT_TRUE(store.objectForKey("kept").isNull()) << why;
    store.setObjectForKey("new", "other");
    EXPECT_FALSE(store.synchronize()) << why;
    EXPECT_EQ(files().contentsOfDirectory(home_).size(), 1u) << why;
  };
  {
    // Too many open files: no descriptor left for the store.
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    int lowestFree = open("/dev/null", O_RDONLY);
    ASSERT_GE(lowestFree, 0);
    close(lowestFree);
    rlimit lowered = saved;
    lowered.rlim_cur = static_cast<rlim_t>(lowestFree);
    platform::LogCapture log;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
    UserDefaults store(path_);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
    expectRefused(store, log, "descriptors");
    EXPECT_NE(log.lines()[0].find("open files"), std::string::npos) << log.lines()[0];
  }
  EXPECT_EQ(read(path_), valid);

  ASSERT_TRUE(files().removeItem(path_));
  ASSERT_EQ(mkfifo(path_.c_str(), 0600), 0);
  platform::LogCapture log;
  UserDefaults store(path_);
  expectRefused(store, log, "fifo");
}

TEST_F(UserDefaultsTest, ManyKeysSaveAndLoadAndLeftoversAreCleared) {
  // A writer killed during a save left temporaries: an old one goes, a fresh one may still be
  // another writer's.
  ASSERT_TRUE(files().writeAtomically(path_ + ".tmp-OLD123", std::string("partial")));
  ASSERT_TRUE(files().writeAtomically(path_ + ".tmp-NEW456", std::string("partial")));
  ASSERT_TRUE(files().setModificationDate(path_ + ".tmp-OLD123",
                                          Date{static_cast<double>(std::time(nullptr)) - 3600}));
  constexpr int kKeys = 200'000;
  {
    UserDefaults store(path_, 64 << 20);
    for (int i = 0; i < kKeys; ++i) store.setObjectForKey(i, std::to_string(i));
    EXPECT_TRUE(store.synchronize());
  }
  EXPECT_FALSE(files().fileExists(path_ + ".tmp-OLD123"));
  EXPECT_TRUE(files().fileExists(path_ + ".tmp-NEW456"));
  const auto size = std::filesystem::file_size(path_);
  UserDefaults again(path_, size);
  for (int i : {0, 1, kKeys / 2, kKeys - 1}) {
    EXPECT_EQ(again.objectForKey(std::to_string(i)).integerValue(-1), i);
  }
  EXPECT_TRUE(again.objectForKey(std::to_string(kKeys)).isNull());

  // A store too large to be read back is not written: the last one that can be stays.
  again.setObjectForKey(std::string(100, 'x'), "big");
  EXPECT_FALSE(again.synchronize());
  EXPECT_EQ(std::filesystem::file_size(path_), size);
}

TEST_F(UserDefaultsTest, TheStandardStoreLivesInThePreferencesOfTheHome) {
  std::string expected =
      home_ + "/Library/Preferences/" + platform::Bundle::main().bundleIdentifier() + ".plist";
  EXPECT_EQ(UserDefaults::standard().filePath(), expected);
  UserDefaults::standard().setObjectForKey(42, "answer");
  EXPECT_FALSE(files().fileExists(expected));
  // Forgetting the store keeps what was set in it.
  UserDefaults::resetStandard();
  EXPECT_TRUE(files().fileExists(expected));
  EXPECT_EQ(UserDefaults::standard().objectForKey("answer").integerValue(), 42);

  // A store that cannot be written says so.
  ASSERT_TRUE(files().writeAtomically(home_ + "/blocker", std::string("a file, no folder")));
  UserDefaults blocked(home_ + "/blocker/store.plist");
  blocked.setObjectForKey(1, "k");
  platform::LogCapture log;
  EXPECT_FALSE(blocked.synchronize());
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_NE(log.lines()[0].find(std::strerror(ENOTDIR)), std::string::npos) << log.lines()[0];
}

TEST(PropertyListTest, ReadsTheXmlFormsAndRefusesHostileText) {
  auto value = decodePropertyList(
      "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!DOCTYPE plist [ <!ENTITY x \"y\"> ]>\n"
      "<!-- note --><plist version='1.0'><dict>\n"
      "<key>e&amp;&lt;&gt;&quot;&apos;&#65;&#x42;&#x1F600;</key><string><![CDATA[<raw>&]]></string>"
      "<key>empty</key><string/>\n<key>t</key><true></true><key>i</key><integer> +7 </integer>"
      "<key>r</key><real>1e400</real><key>d</key><data>AAEC\n/w==</data>"
      "<key>when</key><date>1969-12-31T23:59:59.9999Z</date>"
      "<key>list</key><array><dict/><array/></array></dict></plist>\n");
  ASSERT_TRUE(value);
  EXPECT_EQ((*value)["empty"], Value(""));
  EXPECT_EQ((*value)["e&<>\"'AB\xF0\x9F\x98\x80"], Value("<raw>&"));
  EXPECT_EQ((*value)["t"], Value(true));
  EXPECT_EQ((*value)["i"], Value(7));
  EXPECT_TRUE(std::isinf((*value)["r"].doubleValue()));
  EXPECT_EQ((*value)["d"], Value(Bytes{0, 1, 2, 0xFF}));
  EXPECT_EQ((*value)["when"], Value(Date{-0.001}));
  EXPECT_EQ((*value)["list"], Value(Array{Dictionary{}, Array{}}));
  auto empty = decodePropertyList(encodePropertyList(Value()));
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->isNull());

  EXPECT_TRUE(decodePropertyList(nested(500)));
  EXPECT_NE(decodeError(nested(600)).find("deeply"), std::string::npos);
  EXPECT_NE(decodeError("<plist><integer>99999999999999999999</integer></plist>").find("integer"),
            std::string::npos);
  for (const char* bad : {"",
                          "plain text",
                          "<dict></dict>",
                          "<plist><string>x</plist>",
                          "<plist><dict><key>k</key></dict></plist>",
                          "<plist><dict><string>v</string></dict></plist>",
                          "<plist><data>A===</data></plist>",
                          "<plist><data>*</data></plist>",
                          "<plist><string>&bogus;</string></plist>",
                          "<plist><string>&#xD800;</string></plist>",
                          "<plist><string>&#1114112;</string></plist>",
                          "<plist><string>&amp</string></plist>",
                          "<plist><real>1.5x</real></plist>",
                          "<plist><date>2026-02-29T00:00:00Z</date></plist>",
                          "<plist><date>2026-12-07 03:23:00Z</date></plist>",
                          "<plist><blob/></plist>",
                          "<plist><true/><true/></plist>",
                          "<plist><true/></plist>trailing",
                          "<plist><!-- open",
                          "<plist><string><![CDATA[open</string></plist>"}) {
    EXPECT_FALSE(decodeError(bad).empty()) << bad;
  }
}

TEST(PropertyListTest, WritesOnlyWhatItCanReadBack) {
  double nan = std::numeric_limits<double>::quiet_NaN();
  Value value = Array{Decimal{"not a number"},
                      Decimal{" 2.50 "},
                      Date{1e20},
                      Date{nan},
                      std::numeric_limits<double>::infinity(),
                      Date{-62167219200.0}};
  std::string text = encodePropertyList(value);
  EXPECT_NE(text.find("<real>0</real>"), std::string::npos) << text;
  EXPECT_NE(text.find("<real>2.50</real>"), std::string::npos) << text;
  EXPECT_NE(text.find("<date>0000-01-01T00:00:00Z</date>"), std::string::npos) << text;
  auto decoded = decodePropertyList(text);
  ASSERT_TRUE(decoded);
  ASSERT_EQ(decoded->arrayValue().size(), 4u) << text;
  EXPECT_TRUE(std::isinf(decoded->arrayValue()[2].doubleValue()));
}
