// Runs the vozave binary as a developer would.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/support/RunCommand.h"

namespace {

using Result = velour_test::CommandResult;

Result vozave(const std::string& args, const std::string& input = "") {
  return velour_test::runCommand(VOZAVE_BINARY, args, input);
}

// A command line, its standard input, the exit status, and the output: the whole of it after
// "=", or a part that it holds (none checked when empty).
struct Case {
  std::string args, input;
  int status;
  std::string out;
};

TEST(VozaveTest, CommandsPrintTheirResultsAndRefuseBadArguments) {
  const Case cases[] = {
      {"json", R"({"b": [1, 2.50], "a": "x"})", 0, "={\"b\":[1,2.50],\"a\":\"x\"}\n"},
      {"json --sort", R"({"b": 1, "a": 2})", 0, "={\"a\":2,\"b\":1}\n"},
      {"json", "42", 1, ""},
      {"json --fragment", "42", 0, "=42\n"},
      {"json --max-depth many", "{}", 2, ""},
      {"json --bogus", "{}", 2, ""},
      {"json /nonexistent/file", "", 2, ""},
      {"json /dev/zero", "", 2, "larger than 16 MiB"},
      {"page 'javascript:alert(1)'", "", 1, "not javascript:"},
      {"page --html /dev/zero", "", 1, "larger than 16 MiB"},
      {"frobnicate", "", 2, ""},
      {"query 'B=a%20b&x=1=2;c=%C3%A9&bad=%zz'", "", 0, "=b=a b\nc=\u00e9\n"},
      {"query 'd&&e=1=2'", "", 0, "=(no pairs)\n"},
      {"query", "", 2, ""},
      {"query a=1 b=2", "", 2, ""},
      {"url-encode 'a/b?c=d 100%~'", "", 0, "=a%2Fb%3Fc%3Dd%20100%25~\n"},
      {"url-encode", "", 2, ""},
      {"message 'gmsg://h/open?a=browser&U=http%3A%2F%2Fx%2F'", "", 0,
       "=message: open\n  a = browser\n  u = http://x/\n"},
      {"message vodov://closecanvas", "", 0, "=message: close\nparameters: none\n"},
      {"message http://h/open", "", 1, "=not an ad message\n"},
      {"message 'not a url'", "", 1, ""},
      {"encode base64 foob", "", 0, "=Zm9vYg==\n"},
      {"encode base64 --no-pad foob", "", 0, "=Zm9vYg\n"},
      {"encode base64url", "\xfb\xff", 0, "=-_8=\n"},
      {"encode hex", "\xab", 0, "=AB\n"},
      {"encode base32 f", "", 0, "=MY======\n"},
      {"encode base32hex f", "", 0, "=CO======\n"},
      {"encode crockford f", "", 0, "=CR\n"},
      {"encode binary A", "", 0, "=01000001\n"},
      {"decode base64 Zm9vYg", "", 0, "=foob"},
      {"decode base64url", "-_8=\n", 0, "=\xfb\xff"},
      {"decode crockford cr", "", 0, "=f"},
      {"decode base64 Zh==", "", 1, "not zero"},
      {"encode base63 x", "", 2, ""},
      {"encode", "", 2, ""},
      {"decode hex AB CD", "", 2, ""},
      {"encode hex --pad x", "", 2, ""},
      {"device --device scale=big", "", 2, ""},
      {"device --device colour=red", "", 2, ""},
      {"device --home", "", 2, ""},
      {"request --keyword", "", 2, ""},
      {"uule --lat 0 --lng 2 --acc 1", "", 1, ""},
      {"uule --description ''", "", 1, ""},
      {"uule --decode e1+AAAA", "", 1, ""},
      {"uule --lat 1 --lng 2", "", 2, ""},
      {"uule --lat north --lng 2 --acc 1", "", 2, ""},
      {"uule --description x --lat 1", "", 2, ""},
  };
  for (const auto& [args, input, status, out] : cases) {
    Result run = vozave(args, input);
    EXPECT_EQ(run.status, status) << args << "\n" << run.out;
    if (out.starts_with('=')) {
      EXPECT_EQ(run.out, out.substr(1)) << args;
    } else if (!out.empty()) {
      EXPECT_NE(run.out.find(out), std::string::npos) << args << "\n" << run.out;
    }
  }
}

TEST(VozaveTest, JsonErrorsPrintTheChainOutermostFirst) {
  Result deep = vozave("json --max-depth 2", R"({"a": [[1]]})");
  EXPECT_EQ(deep.status, 1);
  auto outer = deep.out.find("error ");
  auto inner = deep.out.find("  error 7");
  ASSERT_NE(inner, std::string::npos) << deep.out;
  EXPECT_LT(outer, inner);
  // "0" stops at the reader's own limit, and the chain printed stays short.
  Result deepest = vozave("json --max-depth 0", std::string(5000, '[') + std::string(5000, ']'));
  EXPECT_EQ(deepest.status, 1);
  EXPECT_LT(deepest.out.size(), 4096u);
  EXPECT_NE(deepest.out.find("the chain goes on"), std::string::npos) << deepest.out.substr(0, 500);
  EXPECT_NE(deepest.out.find("Nested too deep"), std::string::npos) << deepest.out.substr(0, 500);
  // What follows a NUL byte is not JSON either, as "[1] x" is not.
  const std::string withNul = ::testing::TempDir() + "vozave-nul.json";
  std::ofstream(withNul, std::ios::binary) << std::string("[1]\0x", 5);
  Result nul = vozave("json '" + withNul + "'");
  EXPECT_EQ(nul.status, 1) << nul.out;
  EXPECT_NE(nul.out.find("NUL byte at offset 3"), std::string::npos) << nul.out;
  std::remove(withNul.c_str());
}

TEST(VozaveTest, RequestAndDevicePrintWhatALoadWouldSendAndLeaveTheStatistics) {
  char home[] = "/tmp/vozave-home-XXXXXX";
  ASSERT_NE(::mkdtemp(home), nullptr);
  std::string options = std::string(" --home ") + home;
  Result first = vozave(
      "request --testing --gender m --birthday 1980-07-14 --keyword a "
      "--keyword a --location Paris --extra k=v --slot unit-1" +
      options);
  EXPECT_EQ(first.status, 0) << first.out;
  for (const char* part :
       {"\"testing\":\"1\"", "\"cust_gender\":\"m\"", "\"kw\":[\"a\",\"a\"]",
        "\"extras\":{\"k\":\"v\"}", "\"uule\":\"e1+", "\"net\":\"wi\"", "\"slotname\":\"unit-1\"",
        "\"preqs\":1,", "\"ad_frame\":{\"x\":0,\"y\":361,\"w\":320,\"h\":50}",
        "\"cust_age\":\"19800714\""}) {
    EXPECT_NE(first.out.find(part), std::string::npos) << part << " in " << first.out;
  }
  // Inspecting is not loading: the count stays where it was.
  EXPECT_NE(vozave("request" + options).out.find("\"preqs\":1,"), std::string::npos);
  for (const char* bad : {"--gender x", "--birthday 1980-13-01", "--lat 1 --lng 2"}) {
    EXPECT_EQ(vozave("request " + std::string(bad) + options).status, 2) << bad;
  }

  Result plain = vozave("device" + options + " --device unique-identifier=abc");
  EXPECT_EQ(plain.status, 0) << plain.out;
  EXPECT_EQ(plain.out,
            "ios_metadata={}\napp_name=1.0.iphone.com.velour.soundboard\n"
            "isu=900150983CD24FB0D6963F7D28E17F72\nplatform=iPhone\nsubmodel=iPhone3,1\nhl=en\n"
            "u_audio=1\nu_so=p\nu_sd=1\nu_w=320\nu_h=480\n");
  Result pad = vozave("device" + options +
                      " --device model=iPad --device audio-route=Headphone --device scale=2 "
                      "--device languages=FR,en --device bundle-version=");
  for (const char* part :
       {"ios_ipadc=1\n", "app_name=iphone.com", "hl=fr\nu_audio=2\n", "u_sd=2\n"}) {
    EXPECT_NE(pad.out.find(part), std::string::npos) << part << " in " << pad.out;
  }
  std::system((std::string("rm -rf '") + home + "'").c_str());
}

TEST(VozaveTest, UuleEncodesAndDecodesLocations) {
  Result precise = vozave("uule --lat 48.85 --lng 2.35 --acc 10 --time 1300000000 --record");
  EXPECT_EQ(precise.status, 0) << precise.out;
  EXPECT_EQ(precise.out.substr(0, 3), "e1+");
  const std::string record =
      "role: 6 producer: 24 historical_role: 1 historical_producer: 12 timestamp: "
      "1300000000000000 latlng <latitude_e7: 488499984 longitude_e7: 23499999> radius: 10000\n"
      "vector 006d7c4dffffff7fffffff7fffffff7f\n";
  EXPECT_NE(precise.out.find("\n" + record), std::string::npos) << precise.out;
  Result decoded = vozave("uule --decode " + precise.out.substr(0, precise.out.find('\n')));
  EXPECT_EQ(decoded.status, 0);
  EXPECT_EQ(decoded.out, record);

  Result described = vozave("uule --description 'the \"mill\"' --time 1");
  EXPECT_EQ(described.status, 0);
  Result back = vozave("uule --decode " + described.out.substr(0, described.out.size() - 1));
  EXPECT_NE(back.out.find("timestamp: 1000000 loc: \"the 'mill'\"\n"), std::string::npos)
      << back.out;
}

}  // namespace
