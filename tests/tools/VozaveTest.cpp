// Runs the vozave binary as a developer would.
#include <gtest/gtest.h>
#include <stdio.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/support/RunCommand.h"

namespace {

using Result = velour_test::CommandResult;

Result vozave(const std::string& args, const std::string& input) {
  return velour_test::runCommand(VOZAVE_BINARY, args, input);
}

TEST(VozaveTest, JsonWritesBackWithItsOptions) {
  Result plain = vozave("json", R"({"b": [1, 2.50], "a": "x"})");
  EXPECT_EQ(plain.status, 0) << plain.out;
  EXPECT_EQ(plain.out, "{\"b\":[1,2.50],\"a\":\"x\"}\n");
  Result sorted = vozave("json --sort", R"({"b": 1, "a": 2})");
  EXPECT_EQ(sorted.out, "{\"a\":2,\"b\":1}\n");
  EXPECT_EQ(vozave("json", "42").status, 1);
  Result fragment = vozave("json --fragment", "42");
  EXPECT_EQ(fragment.status, 0);
  EXPECT_EQ(fragment.out, "42\n");
}

TEST(VozaveTest, JsonErrorsPrintTheChainOutermostFirstAndExitOne) {
  Result deep = vozave("json --max-depth 2", R"({"a": [[1]]})");
  EXPECT_EQ(deep.status, 1);
  auto outer = deep.out.find("error ");
  auto inner = deep.out.find("  error 7");
  ASSERT_NE(outer, std::string::npos) << deep.out;
  ASSERT_NE(inner, std::string::npos) << deep.out;
  EXPECT_LT(outer, inner);
  EXPECT_EQ(vozave("json --max-depth many", "{}").status, 2);
  EXPECT_EQ(vozave("json --bogus", "{}").status, 2);
  EXPECT_EQ(vozave("json /nonexistent/file", "").status, 2);
  // What follows a NUL byte is not JSON either, as "[1] x" is not.
  const std::string withNul = ::testing::TempDir() + "vozave-nul.json";
  std::ofstream(withNul, std::ios::binary) << std::string("[1]\0x", 5);
  Result nul = vozave("json '" + withNul + "'", "");
  EXPECT_EQ(nul.status, 1) << nul.out;
  EXPECT_NE(nul.out.find("NUL byte at offset 3"), std::string::npos) << nul.out;
  std::remove(withNul.c_str());
  EXPECT_EQ(vozave("frobnicate", "").status, 2);
}

TEST(VozaveTest, QueryPrintsDecodedPairsInOrder) {
  Result pairs = vozave("query 'B=a%20b&x=1=2;c=%C3%A9&bad=%zz'", "");
  EXPECT_EQ(pairs.status, 0) << pairs.out;
  EXPECT_EQ(pairs.out, "b=a b\nc=\u00e9\n");
  EXPECT_EQ(vozave("query 'd&&e=1=2'", "").out, "(no pairs)\n");
  EXPECT_EQ(vozave("query", "").status, 2);
  EXPECT_EQ(vozave("query a=1 b=2", "").status, 2);
}

TEST(VozaveTest, UrlEncodeEncodesEverythingOutsideTheUnreservedSet) {
  Result encoded = vozave("url-encode 'a/b?c=d 100%~'", "");
  EXPECT_EQ(encoded.status, 0) << encoded.out;
  EXPECT_EQ(encoded.out, "a%2Fb%3Fc%3Dd%20100%25~\n");
  EXPECT_EQ(vozave("url-encode", "").status, 2);
}

TEST(VozaveTest, MessageTellsAdMessagesApart) {
  Result open = vozave("message 'gmsg://h/open?a=browser&U=http%3A%2F%2Fx%2F'", "");
  EXPECT_EQ(open.status, 0) << open.out;
  EXPECT_EQ(open.out, "message: open\n  a = browser\n  u = http://x/\n");
  EXPECT_EQ(vozave("message vodov://closecanvas", "").out, "message: close\nparameters: none\n");
  Result web = vozave("message http://h/open", "");
  EXPECT_EQ(web.status, 1);
  EXPECT_EQ(web.out, "not an ad message\n");
  EXPECT_EQ(vozave("message 'not a url'", "").status, 1);
}

TEST(VozaveTest, EncodeAndDecodeEveryFactoryEncoding) {
  EXPECT_EQ(vozave("encode base64 foob", "").out, "Zm9vYg==\n");
  EXPECT_EQ(vozave("encode base64 --no-pad foob", "").out, "Zm9vYg\n");
  EXPECT_EQ(vozave("encode base64url", "\xfb\xff").out, "-_8=\n");
  EXPECT_EQ(vozave("encode hex", "\xab").out, "AB\n");
  EXPECT_EQ(vozave("encode base32 f", "").out, "MY======\n");
  EXPECT_EQ(vozave("encode base32hex f", "").out, "CO======\n");
  EXPECT_EQ(vozave("encode crockford f", "").out, "CR\n");
  EXPECT_EQ(vozave("encode binary A", "").out, "01000001\n");
  EXPECT_EQ(vozave("decode base64 Zm9vYg", "").out, "foob");
  EXPECT_EQ(vozave("decode base64url", "-_8=\n").out, "\xfb\xff");
  EXPECT_EQ(vozave("decode crockford cr", "").out, "f");
  Result refused = vozave("decode base64 Zh==", "");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.out.find("not zero"), std::string::npos) << refused.out;
  EXPECT_EQ(vozave("encode base63 x", "").status, 2);
  EXPECT_EQ(vozave("encode", "").status, 2);
  EXPECT_EQ(vozave("decode hex AB CD", "").status, 2);
  EXPECT_EQ(vozave("encode hex --pad x", "").status, 2);
}

TEST(VozaveTest, RequestPrintsTheScriptsJsonAndLeavesTheStatistics) {
  char home[] = "/tmp/vozave-home-XXXXXX";
  ASSERT_NE(::mkdtemp(home), nullptr);
  std::string options = std::string(" --home ") + home;
  Result first = vozave(
      "request --testing --gender m --birthday 1980-07-14 --keyword a "
      "--keyword a --location Paris --extra k=v --slot unit-1" +
          options,
      "");
  EXPECT_EQ(first.status, 0) << first.out;
  for (const char* part :
       {"\"testing\":\"1\"", "\"cust_gender\":\"m\"", "\"kw\":[\"a\",\"a\"]",
        "\"extras\":{\"k\":\"v\"}", "\"uule\":\"e1+", "\"net\":\"wi\"", "\"slotname\":\"unit-1\"",
        "\"preqs\":1,", "\"ad_frame\":{\"x\":0,\"y\":361,\"w\":320,\"h\":50}"}) {
    EXPECT_NE(first.out.find(part), std::string::npos) << part << " in " << first.out;
  }
  EXPECT_NE(first.out.find("\"cust_age\":\"19800714\""), std::string::npos) << first.out;
  // Inspecting is not loading: the count stays where it was.
  EXPECT_NE(vozave("request" + options, "").out.find("\"preqs\":1,"), std::string::npos);
  EXPECT_EQ(vozave("request --gender x" + options, "").status, 2);
  EXPECT_EQ(vozave("request --birthday 1980-13-01" + options, "").status, 2);
  EXPECT_EQ(vozave("request --lat 1 --lng 2" + options, "").status, 2);
  EXPECT_EQ(vozave("request --keyword" + options.substr(0, 0), "").status, 2);
  std::system((std::string("rm -rf '") + home + "'").c_str());
}

TEST(VozaveTest, DeviceParametersAndTheirOverrides) {
  const std::string home = "--home /tmp/vozave-device-test ";
  Result plain = vozave("device " + home + "--device unique-identifier=abc", "");
  EXPECT_EQ(plain.status, 0) << plain.out;
  EXPECT_EQ(plain.out,
            "ios_metadata={}\napp_name=1.0.iphone.com.velour.soundboard\n"
            "isu=900150983CD24FB0D6963F7D28E17F72\nplatform=iPhone\nsubmodel=iPhone3,1\nhl=en\n"
            "u_audio=1\nu_so=p\nu_sd=1\nu_w=320\nu_h=480\n");
  Result pad = vozave("device " + home +
                          "--device model=iPad --device audio-route=Headphone --device scale=2 "
                          "--device languages=FR,en --device bundle-version=",
                      "");
  EXPECT_NE(pad.out.find("ios_ipadc=1\n"), std::string::npos) << pad.out;
  EXPECT_NE(pad.out.find("app_name=iphone.com"), std::string::npos);
  EXPECT_NE(pad.out.find("hl=fr\nu_audio=2\n"), std::string::npos);
  EXPECT_NE(pad.out.find("u_sd=2\n"), std::string::npos);
  EXPECT_EQ(vozave("device --device scale=big", "").status, 2);
  EXPECT_EQ(vozave("device --device colour=red", "").status, 2);
  EXPECT_EQ(vozave("device --home", "").status, 2);
}

TEST(VozaveTest, UuleEncodesAndDecodesLocations) {
  Result precise = vozave("uule --lat 48.85 --lng 2.35 --acc 10 --time 1300000000 --record", "");
  EXPECT_EQ(precise.status, 0) << precise.out;
  EXPECT_EQ(precise.out.substr(0, 3), "e1+");
  const std::string record =
      "role: 6 producer: 24 historical_role: 1 historical_producer: 12 timestamp: "
      "1300000000000000 latlng <latitude_e7: 488499984 longitude_e7: 23499999> radius: 10000\n";
  EXPECT_NE(precise.out.find("\n" + record + "vector 006d7c4dffffff7fffffff7fffffff7f\n"),
            std::string::npos)
      << precise.out;
  std::string encoded = precise.out.substr(0, precise.out.find('\n'));
  Result decoded = vozave("uule --decode " + encoded, "");
  EXPECT_EQ(decoded.status, 0);
  EXPECT_EQ(decoded.out, record + "vector 006d7c4dffffff7fffffff7fffffff7f\n");

  Result described = vozave("uule --description 'the \"mill\"' --time 1", "");
  EXPECT_EQ(described.status, 0);
  Result back = vozave("uule --decode " + described.out.substr(0, described.out.size() - 1), "");
  EXPECT_NE(back.out.find("timestamp: 1000000 loc: \"the 'mill'\"\n"), std::string::npos)
      << back.out;

  EXPECT_EQ(vozave("uule --lat 0 --lng 2 --acc 1", "").status, 1);
  EXPECT_EQ(vozave("uule --description ''", "").status, 1);
  EXPECT_EQ(vozave("uule --decode e1+AAAA", "").status, 1);
  EXPECT_EQ(vozave("uule --lat 1 --lng 2", "").status, 2);
  EXPECT_EQ(vozave("uule --lat north --lng 2 --acc 1", "").status, 2);
  EXPECT_EQ(vozave("uule --description x --lat 1", "").status, 2);
}

}  // namespace
