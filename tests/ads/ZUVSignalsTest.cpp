#include <gtest/gtest.h>

#include "ads/signals/ZUVSignals.h"

namespace {

std::map<std::string, std::string> fieldsOf(const std::string& signal, const std::string& key) {
  EXPECT_EQ(signal.substr(0, key.size() + 1), key + "=") << signal;
  auto fields = ZUVSignalsDecodeValue(signal.substr(key.size() + 1));
  EXPECT_TRUE(fields) << signal;
  return fields.value_or(std::map<std::string, std::string>());
}

TEST(ZUVSignalsTest, RequestAndClickSignalsCarryWhatTheModuleLearnt) {
  std::string before;
  ASSERT_NE(zuv_gmrs(before), 0);
  int requests = std::stoi(fieldsOf(before, "ms")["n"]);
  int touches = std::stoi(fieldsOf(before, "ms")["tc"]);

  zuv_gig(4, "afma-sdk-i-v1&x=2%");
  zuv_htg(120, -1, 35);
  std::string signal;
  ASSERT_NE(zuv_gmrs(signal), 0);
  // Only URL-safe characters, so the pair goes into a query as it is.
  EXPECT_EQ(signal.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                     "0123456789-_=",
                                     0),
            std::string::npos);
  auto request = fieldsOf(signal, "ms");
  EXPECT_EQ(request["t"], "4");
  EXPECT_EQ(request["sv"], "afma-sdk-i-v1&x=2%");
  EXPECT_EQ(request["n"], std::to_string(requests + 1));
  EXPECT_EQ(request["tc"], std::to_string(touches + 1));
  EXPECT_EQ(request["tx"], "120");
  EXPECT_EQ(request["td"], "35");

  std::string click = "untouched";
  EXPECT_EQ(zuv_gmcs("", click), 0);
  EXPECT_EQ(click, "untouched");
  ASSERT_NE(zuv_gmcs("a%20b", click), 0);
  auto first = fieldsOf(click, "cs");
  EXPECT_EQ(first["ai"], "a%20b");
  ASSERT_NE(zuv_gmcs("c", click), 0);
  EXPECT_EQ(std::stoi(fieldsOf(click, "cs")["c"]), std::stoi(first["c"]) + 1);
}

TEST(ZUVSignalsTest, DecodingRefusesWhatIsNotASignal) {
  for (const char* bad : {"", "!!", "A", "dj0y", "eA", "dj0xJng9JXo"}) {
    EXPECT_FALSE(ZUVSignalsDecodeValue(bad)) << bad;
  }
}

}  // namespace
