#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/vast/ZUVVastAd.h"
#include "platform/foundation/Registration.h"
#include "platform/foundation/Result.h"
#include "platform/foundation/Time.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/WeakFactory.h"

// Following a video ad's wrappers to its inline ad: the resolver, the fetches it makes and what
// it ends with. The player and `vozave vast --follow` start one per ad.

// Fetches one document for the resolver; the fetch stops when its handle goes.
class ZUVVastFetch {
 public:
  virtual ~ZUVVastFetch() = default;
};
// Starts a fetch of `url` and calls `done` once, in a later pass of the run loop, with the body
// or an error (301 for a fetch that failed, 100 for a body past the reader's cap).
using ZUVVastFetcher = std::function<std::unique_ptr<ZUVVastFetch>(
    const platform::URL& url, std::function<void(platform::Result<std::string>)> done)>;
// Fetches over URLConnection, stopping as soon as a body passes the XML reader's cap.
ZUVVastFetcher ZUVVastHTTPFetcher();

// Where a chain of wrappers led. On success `ad` is the inline ad with every wrapper's
// impression, error, tracking, click tracking and verification URLs merged into its own; on
// failure `error` has the standard's code and `errorURLs` are those to fire with it.
struct ZUVVastResolution {
  std::optional<ZUVVastAd> ad;
  std::optional<platform::Error> error;
  std::vector<std::string> errorURLs;
  // Each document read, in order: where it came from (the first one's `source` as given) and
  // the ad taken from it, unmerged.
  std::vector<std::pair<std::string, ZUVVastAd>> chain;
  std::vector<std::string> notes;
};

// Follows a document's wrappers to its inline ad, on the run loop: at most `maxWrappers`
// wrappers (302 past that), each fetch stopped after `fetchTimeout` of loop time (301), a tag
// URL seen before in the chain refused (300), a wrapper after one that forbids more taken as
// no ad, and a chain that ends without an ad 303. Where a wrapper with fallbackOnNoAd leads to
// no ad, the next stand-alone ad of the wrapper's own document is tried. The result comes in a
// later pass, never inside resolve(); destroying the resolver stops everything.
class ZUVVastWrapperResolver {
 public:
  struct Options {
    int maxWrappers = 5;
    platform::Duration fetchTimeout = platform::seconds(5);
    ZUVVastFetcher fetcher = ZUVVastHTTPFetcher();
  };
  using Completion = std::function<void(ZUVVastResolution resolution)>;

  explicit ZUVVastWrapperResolver(Options options);
  ZUVVastWrapperResolver(const ZUVVastWrapperResolver&) = delete;
  ZUVVastWrapperResolver& operator=(const ZUVVastWrapperResolver&) = delete;
  ~ZUVVastWrapperResolver();

  // Starts over with `document`, which came from `source` (a URL or a file's name).
  void resolve(ZUVVastDocument document, std::string source, Completion completion);

 private:
  // One document of the chain: the ads of it still to try, first the one to play, where it
  // came from, and the ad of it being tried.
  struct Level {
    ZUVVastDocument document;
    std::vector<std::size_t> candidates;
    std::string source;
    std::optional<std::size_t> current;
  };

  void enter(ZUVVastDocument document, std::string source);
  void tryNextCandidate();
  void follow(const ZUVVastAd& wrapper);
  void fetched(platform::Result<std::string> body);
  void fail(platform::Error error, const std::vector<std::string>& moreErrorURLs);
  void succeed(const ZUVVastAd& inlineAd);
  void finish();
  bool wrappersAllowed() const;
  const ZUVVastAd& currentAd(std::size_t level) const;
  // The error URLs of the ad tried at each level.
  std::vector<std::string> pathErrorURLs() const;

  Options options_;
  Completion completion_;
  std::vector<Level> levels_;
  std::vector<std::string> seen_;  // tag URLs fetched, as written
  std::string fetching_;           // the URL of the fetch under way, macros filled
  ZUVVastResolution result_;
  std::unique_ptr<ZUVVastFetch> fetch_;
  platform::Registration timeout_;
  platform::Registration delivery_;
  platform::WeakFactory<ZUVVastWrapperResolver> weakFactory_{this};
};
