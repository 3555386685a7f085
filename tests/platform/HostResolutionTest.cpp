#include <gtest/gtest.h>

#include "platform/net/HostResolution.h"

using platform::HostMapping;
using platform::HostResolution;

namespace {

TEST(HostResolutionTest, MappingsReplaceByHostAndRefuseMalformedText) {
  HostResolution resolution;
  EXPECT_TRUE(resolution.mapFromText("Ads.Example.com:8080:127.0.0.1"));
  resolution.map("other.example", "127.0.0.2", 90);
  resolution.map("ADS.example.COM", "127.0.0.1", 9090);
  EXPECT_EQ(resolution.mappings(), (std::vector<HostMapping>{{"ads.example.com", "127.0.0.1", 9090},
                                                             {"other.example", "127.0.0.2", 90}}));
  EXPECT_EQ(resolution.mappingForHost("ads.EXAMPLE.com")->port, 9090);
  EXPECT_FALSE(resolution.mappingForHost("example.com"));

  for (const char* bad : {"", "host", "host:80", "host:0:127.0.0.1", "host:70000:127.0.0.1",
                          "host:80:", ":80:127.0.0.1", "host:8x:127.0.0.1", "a b:80:127.0.0.1",
                          "host:80:127.0.0.1:9"}) {
    EXPECT_FALSE(resolution.mapFromText(bad)) << bad;
  }
  EXPECT_EQ(resolution.mappings().size(), 2u);
}

}  // namespace
