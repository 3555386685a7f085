#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>
#include <utility>

#include "ads/support/ZUVCachedFile.h"
#include "ads/support/ZUVNetworkUtilities.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/harness/Harness.h"
#include "platform/net/HostResolution.h"
#include "tests/support/ShortNetworkTimeouts.h"
#include "tests/support/TestHTTPServer.h"
#include "tests/support/TestWorld.h"

using namespace std::chrono_literals;

namespace {

using platform::URL;
using velour_test::RawTestServer;
using velour_test::TestHTTPServer;

constexpr long long kNovember1994 = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT
const char* const kNovember1994Text = "Sun, 06 Nov 1994 08:49:37 GMT";

class Recorder : public ZUVCachedFileDelegate {
 public:
  std::vector<std::string> events;
  std::optional<platform::Error> error;
  std::function<std::optional<platform::Error>(ZUVCachedFile&, const URL&)> onRedirect;
  std::function<void(ZUVCachedFile&)> onEnd;
  // When set, the recorder lets go of its cached file inside the first operation it gets.
  std::shared_ptr<ZUVCachedFile> dropInCallback;

  void cachedFileDownloadDidEnd(ZUVCachedFile& file) override {
    events.push_back("end");
    if (onEnd) std::exchange(onEnd, nullptr)(file);
    dropInCallback.reset();
  }
  void cachedFileDownloadDidFail(ZUVCachedFile&, const std::optional<platform::Error>& e) override {
    events.push_back(e ? "fail " + std::to_string(e->code) : "fail null");
    error = e;
    dropInCallback.reset();
  }
  std::optional<platform::Error> cachedFileShouldRedirectToURL(ZUVCachedFile& file,
                                                               const URL& url) override {
    events.push_back("redirect " + url.absoluteString());
    auto answer = onRedirect ? onRedirect(file, url) : std::nullopt;
    if (answer) dropInCallback.reset();
    return answer;
  }
};

class ZUVCachedFileTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::Harness::resetRunLoop(false); }

  // A new cached file, as a later run would make it, fetched once to its end.
  std::shared_ptr<ZUVCachedFile> fetch(const std::string& url, bool cacheBuster = false,
                                       std::shared_ptr<Recorder> recorder = nullptr) {
    recorder_ = recorder ? std::move(recorder) : std::make_shared<Recorder>();
    auto file = ZUVCachedFile::create(recorder_, *URL::parse(url));
    cacheBuster ? file->validateWithCacheBuster() : file->validate();
    EXPECT_TRUE(platform::RunLoop::main().runUntil([&] { return !file->isFetching(); }, 20s));
    return file;
  }

  static long long modificationTime(const std::string& path) {
    return static_cast<long long>(
        platform::FileManager::defaultManager().modificationDate(path)->secondsSince1970);
  }

  velour_test::TestWorld world_;
  TestHTTPServer server;
  velour_test::ShortNetworkTimeouts timeouts_;
  std::shared_ptr<Recorder> recorder_;
};

TEST_F(ZUVCachedFileTest, RevalidatesAcrossRunsWithTheServersDate) {
  server.conditional("/zede/sdk-core-v40.js", "function ZEDE_buildAdURL() {}", kNovember1994Text,
                     kNovember1994);
  ZUVNetworkUtilities::setUserAgentString("VelourTest/1.0");
  std::string url = server.url("/zede/sdk-core-v40.js");

  // The conditional request, full date and all, is checked through the vozave "fetch" command.
  EXPECT_EQ(modificationTime(*fetch(url)->filePath()), kNovember1994);
  EXPECT_EQ(server.requests().at(0).headers.value("User-Agent"), "VelourTest/1.0");
  // The delegate reads the copy that "not modified" confirmed.
  std::optional<std::string> heard;
  auto recorder = std::make_shared<Recorder>();
  recorder->onEnd = [&](ZUVCachedFile& file) { heard = file.content(); };
  auto second = fetch(url, false, recorder);
  EXPECT_EQ(recorder_->events, std::vector<std::string>{"end"});
  EXPECT_EQ(second->httpStatusCode(), 304);
  EXPECT_EQ(heard, "function ZEDE_buildAdURL() {}");

  // validate while a fetch runs starts nothing and sends nothing more.
  auto busy = ZUVCachedFile::create(recorder_, *URL::parse(url));
  recorder_->events.clear();
  busy->validate();
  busy->validate();
  busy->validateWithCacheBuster();
  ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return !busy->isFetching(); }, 20s));
  EXPECT_EQ(recorder_->events.size(), 1u);
  EXPECT_EQ(server.requestCount("/zede/sdk-core-v40.js"), 3u);
}

TEST_F(ZUVCachedFileTest, ReadsLastModifiedOrTakesTheTimeOfWriting) {
  server.conditional("/undated", "body", "", 0);
  auto before = std::chrono::system_clock::now();
  auto undated = fetch(server.url("/undated"));
  std::string path = *undated->filePath();
  auto written = std::chrono::duration_cast<std::chrono::seconds>(before.time_since_epoch());
  EXPECT_GE(modificationTime(path), written.count() - 1);
  auto since = undated->fileModificationDate();
  ASSERT_TRUE(since);
  fetch(server.url("/undated"));
  EXPECT_EQ(server.requests().back().headers.value("If-Modified-Since"), *since);

  // A date that does not read leaves the time of writing.
  server.reply("/odd", 200, "odd", {{"Last-Modified", "yesterday GMT"}});
  auto odd = fetch(server.url("/odd"));
  EXPECT_GE(modificationTime(*odd->filePath()), written.count() - 1);

  // A date ahead of the clock counts as now, else the copy would never be refreshed.
  server.reply("/future", 200, "later", {{"Last-Modified", "Fri, 01 Jan 2100 00:00:00 GMT"}});
  auto future = fetch(server.url("/future"));
  auto after = std::chrono::duration_cast<std::chrono::seconds>(
      std::chrono::system_clock::now().time_since_epoch());
  EXPECT_GE(modificationTime(*future->filePath()), written.count() - 1);
  EXPECT_LE(modificationTime(*future->filePath()), after.count());
}

TEST_F(ZUVCachedFileTest, EachFailedEndReportsOnceAndKeepsTheOldFile) {
  auto& files = platform::FileManager::defaultManager();
  auto failWith = [&](const std::string& url) {
    auto file = ZUVCachedFile::create(recorder_, *URL::parse(url));
    files.createDirectory(file->filePath()->substr(0, file->filePath()->rfind('/')));
    EXPECT_TRUE(files.writeAtomically(*file->filePath(), std::string("old copy")));
    file = fetch(url);
    EXPECT_EQ(std::count_if(recorder_->events.begin(), recorder_->events.end(),
                            [](const std::string& e) { return !e.starts_with("redirect"); }),
              1)
        << url;
    EXPECT_EQ(file->content(), "old copy") << url;
    return file;
  };

  server.reply("/missing", 404, "not found");
  auto missing = failWith(server.url("/missing"));
  EXPECT_EQ(recorder_->events, std::vector<std::string>{"fail null"});
  EXPECT_EQ(missing->httpStatusCode(), 404);
  EXPECT_TRUE(world_.log().contains("/missing: the server answered 404."));

  // A reply over the copy's own cap is not written.
  server.bigBody("/script", ZUVCachedFile::kMaxContentBytes + 1, false);
  failWith(server.url("/script"));
  EXPECT_EQ(recorder_->error->code, platform::kURLErrorDataLengthExceedsMaximum);
  EXPECT_TRUE(world_.log().contains("/script: the reply is larger than 1048576 bytes."));

  platform::URLConnection::settings().maxBodyBytes = 50000;
  server.bigBody("/huge", 80000, false);
  failWith(server.url("/huge"));
  EXPECT_EQ(recorder_->error->code, platform::kURLErrorDataLengthExceedsMaximum);
  EXPECT_TRUE(world_.log().contains("/huge: the fetch failed: The reply's body is larger"));
  // Nothing half-written is left beside the file.
  std::filesystem::directory_iterator cache(world_.home() + "/Library/Caches/127.0.0.1");
  EXPECT_EQ(std::distance(cache, {}), 3);

  // A file that cannot be written (its folder's place is taken by a file): what came serves
  // this load from memory, and nothing is left on disk for the next.
  server.reply("/blocked", 200, "new");
  platform::HostResolution::shared().map("blocked.velour.test", "127.0.0.1",
                                         static_cast<std::uint16_t>(server.port()));
  ASSERT_TRUE(files.writeAtomically(files.cachesDirectory() + "/blocked.velour.test",
                                    std::string("in the way")));
  std::optional<std::string> heard;
  auto memory = std::make_shared<Recorder>();
  memory->onEnd = [&](ZUVCachedFile& file) { heard = file.content(); };
  auto blocked = fetch("http://blocked.velour.test/blocked", false, memory);
  EXPECT_EQ(memory->events, std::vector<std::string>{"end"});
  EXPECT_EQ(heard, "new");
  EXPECT_FALSE(blocked->content());
  EXPECT_TRUE(world_.log().contains(std::string(std::strerror(ENOTDIR)) +
                                    "; the reply is used from memory for this load."));
  // Bytes that are no text could not serve it either.
  server.reply("/blocked-binary", 200, std::string("\xff\xfe", 2));
  fetch("http://blocked.velour.test/blocked-binary");
  EXPECT_EQ(recorder_->events, std::vector<std::string>{"fail " + std::to_string(ENOTDIR)});
  EXPECT_EQ(recorder_->error->domain, "NSPOSIXErrorDomain");
  platform::HostResolution::shared().clear();

  // "Not modified" with no copy on the device confirms nothing.
  server.reply("/unasked", 304, "");
  auto unasked = fetch(server.url("/unasked"));
  EXPECT_EQ(recorder_->events, std::vector<std::string>{"fail null"});
  EXPECT_EQ(unasked->httpStatusCode(), 304);
  EXPECT_FALSE(unasked->content());
  EXPECT_TRUE(world_.log().contains("a \"not modified\" reply is refused"));

  // No connection for a URL the platform cannot fetch: the failure comes at once.
  recorder_ = std::make_shared<Recorder>();
  auto ftp = ZUVCachedFile::create(recorder_, *URL::parse("ftp://files.example/a"));
  ftp->validate();
  EXPECT_EQ(recorder_->events, std::vector<std::string>{"fail null"});
  EXPECT_FALSE(ftp->isFetching());
}

TEST_F(ZUVCachedFileTest, RedirectsShowTheirHeadersAndCanBeRefused) {
  server.redirect("/click", 302, "/hop");
  server.redirect("/hop", 301, "/landing?x=1");
  server.reply("/landing", 200, "landing", {{"X-Zede-Orientation", "portrait"}});
  auto recorder = std::make_shared<Recorder>();
  std::vector<std::string> locations;
  recorder->onRedirect = [&](ZUVCachedFile& file, const URL&) {
    locations.push_back(file.httpHeaders().value("Location").value_or(""));
    return std::nullopt;
  };
  auto file = fetch(server.url("/click"), false, recorder);
  EXPECT_EQ(recorder_->events,
            (std::vector<std::string>{"redirect " + server.url("/hop"),
                                      "redirect " + server.url("/landing?x=1"), "end"}));
  EXPECT_EQ(locations, (std::vector<std::string>{"/hop", "/landing?x=1"}));
  EXPECT_EQ(file->httpDestinationURL().absoluteString(), server.url("/landing?x=1"));
  EXPECT_EQ(file->httpHeaders().value("x-zede-orientation"), "portrait");
  EXPECT_FALSE(file->httpHeaders().contains("Location"));

  // Refused at the first hop: one failure with the delegate's own error, nothing after it.
  auto refuser = std::make_shared<Recorder>();
  refuser->onRedirect = [](ZUVCachedFile&, const URL&) {
    return platform::Error::make("kZUVErrorDomain", 0, "stop");
  };
  auto refused = fetch(server.url("/click?again"), false, refuser);
  platform::Harness::advance(0.2s);
  EXPECT_EQ(refuser->events,
            (std::vector<std::string>{"redirect " + server.url("/hop"), "fail 0"}));
  EXPECT_EQ(server.requestCount("/hop"), 1u);  // only the earlier, allowed fetch
  EXPECT_EQ(refused->httpDestinationURL().absoluteString(), server.url("/hop"));
}

TEST_F(ZUVCachedFileTest, CacheBusterCancelAndInvalidate) {
  server.reply("/ad", 200, "ad");
  using namespace std::chrono;
  double now = duration<double>(system_clock::now().time_since_epoch()).count() - 978307200;
  auto busted = fetch(server.url("/ad"), true);
  std::string query = server.requests().at(0).query;
  ASSERT_TRUE(query.starts_with("unique="));
  double unique = std::stod(query.substr(7));
  EXPECT_EQ(query.find('.'), std::string::npos);
  EXPECT_NEAR(unique, now, 5);
  EXPECT_EQ(busted->httpDestinationURL().absoluteString(), server.url("/ad?") + query);
  busted->invalidate();
  EXPECT_FALSE(busted->content());
  EXPECT_FALSE(busted->fileModificationDate());

  RawTestServer stall("", false);
  auto recorder = std::make_shared<Recorder>();
  auto pending = ZUVCachedFile::create(recorder, *URL::parse(stall.url("/x")));
  pending->validate();
  ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return stall.connectionCount() > 0; }, 10s));
  pending->cancel();
  platform::Harness::advance(0.8s);  // past the idle time-out
  EXPECT_TRUE(recorder->events.empty());
}

TEST_F(ZUVCachedFileTest, OnlyTheLatestFetchWritesTheFile) {
  std::atomic<int> served{0};
  // Each request gets its own letter, 100 KB of it, slowly enough for fetches to overlap.
  server.handle("/body", [&](const httplib::Request&, httplib::Response& response) {
    char letter = static_cast<char>('a' + served++);
    response.set_chunked_content_provider(
        "application/octet-stream",
        [letter, sent = 0](std::size_t, httplib::DataSink& sink) mutable {
          if (sent == 10) {
            sink.done();
            return true;
          }
          ++sent;
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
          return sink.write(std::string(10240, letter).data(), 10240);
        });
  });
  recorder_ = std::make_shared<Recorder>();
  auto file = ZUVCachedFile::create(recorder_, *URL::parse(server.url("/body")));
  file->validate();
  auto& loop = platform::RunLoop::main();
  ASSERT_TRUE(loop.runUntil([&] { return served == 1; }, 10s));
  platform::Harness::advance(0.05s);
  file->beginFetchWithCacheBuster(true);
  ASSERT_TRUE(loop.runUntil([&] { return !file->isFetching(); }, 20s));
  platform::Harness::advance(0.3s);
  EXPECT_EQ(recorder_->events, std::vector<std::string>{"end"});
  EXPECT_EQ(file->content(), std::string(102400, 'b'));

  // A fetch that the delegate starts from its callback runs to its own end.
  recorder_->onEnd = [](ZUVCachedFile& again) { again.validate(); };
  file->validate();
  ASSERT_TRUE(loop.runUntil([&] { return recorder_->events.size() == 3; }, 20s));
  EXPECT_EQ(recorder_->events.back(), "end");
  EXPECT_EQ(file->content(), std::string(102400, 'd'));
}

TEST_F(ZUVCachedFileTest, StaysAliveUntilTheCallbackThatDroppedItReturns) {
  server.conditional("/script", "s", kNovember1994Text, kNovember1994);
  server.reply("/gone", 410, "gone");
  server.redirect("/jump", 302, "/script");
  fetch(server.url("/script"));
  for (std::string path : {"/script", "/gone", "/jump"}) {
    auto recorder = std::make_shared<Recorder>();
    recorder->onRedirect = [](ZUVCachedFile&, const URL&) {
      return platform::Error::make("kZUVErrorDomain", 0, "stop");
    };
    auto file = ZUVCachedFile::create(recorder, *URL::parse(server.url(path)));
    std::weak_ptr<ZUVCachedFile> watched = file;
    file->validate();
    recorder->dropInCallback = std::move(file);
    ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return watched.expired(); }, 20s)) << path;
    EXPECT_EQ(recorder->events.size(), path == "/jump" ? 2u : 1u) << path;
  }
}

TEST_F(ZUVCachedFileTest, APoisonedCopyIsRefusedRemovedAndFetchedWithoutACondition) {
  server.conditional("/script", "fresh", kNovember1994Text, kNovember1994);
  platform::HostResolution::shared().map("poison.velour.test", "127.0.0.1",
                                         static_cast<std::uint16_t>(server.port()));
  const std::string url = "http://poison.velour.test/script";
  auto& files = platform::FileManager::defaultManager();
  const std::string path = *ZUVCachedFile::create({}, *URL::parse(url))->filePath();
  const std::string folder = path.substr(0, path.rfind('/'));
  const std::string outside = world_.home() + "/outside";
  files.createDirectory(outside);
  ASSERT_TRUE(files.writeAtomically(outside + "/secret", std::string("not a script")));
  std::string randomBytes;
  for (int i = 0; i < 4096; ++i) randomBytes += static_cast<char>((i * 7919 + 13) % 256);

  const std::vector<std::pair<std::string, std::function<void()>>> poisons = {
      {"random bytes", [&] { (void)files.writeAtomically(path, randomBytes); }},
      {"empty", [&] { (void)files.writeAtomically(path, std::string()); }},
      {"huge", [&] { (void)files.writeAtomically(path, std::string((1 << 20) + 1, 'a')); }},
      {"a link", [&] { std::filesystem::create_symlink(outside + "/secret", path); }},
      {"a folder", [&] { files.createDirectory(path + "/inside"); }},
      {"a linked folder",
       [&] {
         files.removeItem(folder);
         std::filesystem::create_directory_symlink(outside, folder);
         std::filesystem::create_symlink(outside + "/secret",
                                         outside + "/" + path.substr(path.rfind('/') + 1));
       }},
  };
  for (const auto& [name, plant] : poisons) {
    files.removeItem(path);
    files.createDirectory(folder);
    plant();
    world_.log().clear();
    std::size_t before = server.requests().size();
    auto file = fetch(url);
    EXPECT_EQ(recorder_->events, std::vector<std::string>{"end"}) << name;
    EXPECT_EQ(file->content(), "fresh") << name;
    EXPECT_EQ(server.requests().at(before).headers.value("If-Modified-Since"), std::nullopt)
        << name;
    EXPECT_EQ(world_.log().lines().size(), 1u) << name;
    EXPECT_TRUE(world_.log().contains("is refused")) << name;
    EXPECT_FALSE(std::filesystem::is_symlink(folder)) << name;
    EXPECT_TRUE(files.fileExists(outside + "/secret")) << name;
  }

  // A file time ahead of the clock goes out as no later than now.
  ASSERT_TRUE(files.setAccessAndModificationDate(path, platform::Date{4102444800}));  // 2100
  auto since = ZUVCachedFile::create({}, *URL::parse(url))->fileModificationDate();
  ASSERT_TRUE(since);
  auto sent = ZUVCachedFile::formatterForHTTPDate().dateFromString(*since);
  auto now = std::chrono::system_clock::now().time_since_epoch();
  EXPECT_LE(sent->secondsSince1970, std::chrono::duration<double>(now).count());
  platform::HostResolution::shared().clear();
}

TEST(ZUVCachedFileDateTest, WritesFullHTTPDatesAndReadsThemWithOrWithoutTheZone) {
  auto formatter = ZUVCachedFile::formatterForHTTPDate();
  EXPECT_EQ(formatter.stringFromDate({static_cast<double>(kNovember1994) + 0.9}),
            kNovember1994Text);
  EXPECT_EQ(formatter.stringFromDate({-1}), "Wed, 31 Dec 1969 23:59:59 GMT");
  EXPECT_EQ(formatter.stringFromDate({1e15}), "");

  auto cut = ZUVCachedFile::modificationDateFromLastModified(std::string(kNovember1994Text));
  EXPECT_EQ(cut, "Sun, 06 Nov 1994 08:49:37 ");
  for (std::string text :
       {std::string(kNovember1994Text), *cut, std::string("Sun, 06 Nov 1994 08:49:37"),
        std::string("sun, 06 nov 1994 08:49:37 GMT")}) {
    auto date = formatter.dateFromString(text);
    ASSERT_TRUE(date) << text;
    EXPECT_EQ(date->secondsSince1970, kNovember1994) << text;
  }
  for (const char* bad : {"Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994",
                          "Mon, 30 Feb 2015 10:00:00 GMT", "Sun, 06 Nov 1994 24:00:00 GMT",
                          "Sun, 6 Nov 1994 08:49:37 GMT", "Sun, 06 Nov 1994 08:49:37 PST", ""}) {
    EXPECT_FALSE(formatter.dateFromString(bad)) << bad;
  }
}

TEST(ZUVCachedFilePathTest, NamesAreStableAndStayInsideTheCachesFolder) {
  velour_test::TestWorld world;
  EXPECT_EQ(ZUVCachedFile::hashOfURLText("a"), 0xe40c292cu);  // FNV-1a, the same in every run
  auto url = *URL::parse("http://static.vozave.test/zede/sdk-core-v40.js");
  auto first = ZUVCachedFile::create({}, url);
  EXPECT_EQ(first->filePath(), ZUVCachedFile::create({}, url)->filePath());
  EXPECT_TRUE(first->filePath()->starts_with(world.home() + "/Library/Caches/static.vozave.test/"));
  EXPECT_NE(first->filePath(),
            ZUVCachedFile::create({}, *URL::parse("http://static.vozave.test/b"))->filePath());

  // A host of dots would climb out of the caches folder.
  auto dots = URL::parse("http://../x");
  ASSERT_TRUE(dots);
  auto dotsPath = *ZUVCachedFile::create({}, *dots)->filePath();
  EXPECT_TRUE(dotsPath.starts_with(world.home() + "/Library/Caches/%2E%2E/")) << dotsPath;

  auto& files = platform::FileManager::defaultManager();
  files.createDirectory(first->filePath()->substr(0, first->filePath()->rfind('/')));
  ASSERT_TRUE(files.writeAtomically(*first->filePath(), std::string("caf\xC3\xA9")));
  EXPECT_EQ(first->content(), "caf\xC3\xA9");

  // A URL without a host has no copy: nothing of the caches folder is read or removed for it.
  auto recorder = std::make_shared<Recorder>();
  for (const char* text : {"data:,x", "about:blank", "file:///tmp/x", "ftp://files.example/a"}) {
    auto file = ZUVCachedFile::create(recorder, *URL::parse(text));
    EXPECT_FALSE(file->filePath()) << text;
    EXPECT_FALSE(file->content()) << text;
    EXPECT_FALSE(file->fileModificationDate()) << text;
    file->validate();
    file->invalidate();
  }
  EXPECT_EQ(recorder->events, std::vector<std::string>(4, "fail null"));
  EXPECT_EQ(first->content(), "caf\xC3\xA9");
}

}  // namespace
