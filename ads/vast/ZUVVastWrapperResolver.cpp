#include "ads/vast/ZUVVastWrapperResolver.h"

#include <algorithm>

#include "ads/vast/ZUVVastMacros.h"
#include "ads/vast/ZUVVastReader.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/TimeText.h"

namespace {

template <typename T>
void append(std::vector<T>& into, const std::vector<T>& more) {
  into.insert(into.end(), more.begin(), more.end());
}

// The ads of `document` to try in turn: the one to play, then the other stand-alone ads.
std::vector<std::size_t> candidatesOf(const ZUVVastDocument& document) {
  std::vector<std::size_t> candidates;
  const ZUVVastAd* chosen = document.adToPlay();
  if (!chosen) return candidates;
  candidates.push_back(static_cast<std::size_t>(chosen - document.ads.data()));
  for (std::size_t i = 0; i < document.ads.size(); ++i) {
    if (&document.ads[i] != chosen && !document.ads[i].sequence) candidates.push_back(i);
  }
  return candidates;
}

}  // namespace

ZUVVastWrapperResolver::ZUVVastWrapperResolver(Options options) : options_(std::move(options)) {}

ZUVVastWrapperResolver::~ZUVVastWrapperResolver() = default;

void ZUVVastWrapperResolver::resolve(ZUVVastDocument document, std::string source,
                                     Completion completion) {
  weakFactory_.revoke();
  fetch_.reset();
  timeout_.cancel();
  delivery_.cancel();
  levels_.clear();
  seen_.clear();
  result_ = {};
  completion_ = std::move(completion);
  enter(std::move(document), std::move(source));
}

void ZUVVastWrapperResolver::enter(ZUVVastDocument document, std::string source) {
  append(result_.notes, document.notes);
  Level level{std::move(document), {}, std::move(source), std::nullopt};
  level.candidates = candidatesOf(level.document);
  levels_.push_back(std::move(level));
  tryNextCandidate();
}

bool ZUVVastWrapperResolver::wrappersAllowed() const {
  for (std::size_t i = 0; i + 1 < levels_.size(); ++i) {
    if (!currentAd(i).followAdditionalWrappers) return false;
  }
  return true;
}

const ZUVVastAd& ZUVVastWrapperResolver::currentAd(std::size_t level) const {
  return levels_[level].document.ads[levels_[level].current.value()];
}

void ZUVVastWrapperResolver::tryNextCandidate() {
  while (true) {
    Level& level = levels_.back();
    if (level.candidates.empty()) {
      std::vector<std::string> documentErrors = level.document.errorURLs;
      if (levels_.size() == 1) {
        return fail(ZUVVastError(kZUVVastNoAdAfterWrapper, "the document holds no ad to play"),
                    documentErrors);
      }
      levels_.pop_back();
      const ZUVVastAd& wrapper = currentAd(levels_.size() - 1);
      if (wrapper.fallbackOnNoAd && !levels_.back().candidates.empty()) {
        result_.notes.push_back("a wrapper led to no ad; its document's next ad is tried");
        continue;
      }
      return fail(ZUVVastError(kZUVVastNoAdAfterWrapper, "the wrappers led to no ad"),
                  documentErrors);
    }
    level.current = level.candidates.front();
    level.candidates.erase(level.candidates.begin());
    const ZUVVastAd& ad = currentAd(levels_.size() - 1);
    result_.chain.emplace_back(level.source, ad);
    if (ad.fault) return fail(*ad.fault, {});
    if (ad.kind == ZUVVastAd::Kind::InLine) return succeed(ad);
    if (!wrappersAllowed()) {
      result_.notes.push_back("a wrapper after one that forbids more wrappers is ignored");
      continue;
    }
    return follow(ad);
  }
}

void ZUVVastWrapperResolver::follow(const ZUVVastAd& wrapper) {
  if (levels_.size() > static_cast<std::size_t>(options_.maxWrappers)) {
    return fail(ZUVVastError(kZUVVastWrapperLimitReached,
                             "more than " + std::to_string(options_.maxWrappers) + " wrappers"),
                {});
  }
  if (std::find(seen_.begin(), seen_.end(), wrapper.adTagURI) != seen_.end()) {
    return fail(
        ZUVVastError(kZUVVastWrapperError, "the wrappers loop back to " +
                                               platform::text::singleLine(wrapper.adTagURI, 200)),
        {});
  }
  seen_.push_back(wrapper.adTagURI);
  std::string expanded = ZUVVastExpandMacros(wrapper.adTagURI, ZUVVastMacroValues::current());
  auto url = platform::URL::parse(expanded);
  if (!url || !url->isHTTPOrHTTPS()) {
    return fail(
        ZUVVastError(kZUVVastWrapperError, "the tag URL is not a URL once its macros are filled"),
        {});
  }
  fetching_ = url->absoluteString();
  fetch_ = options_.fetcher(
      *url, weakFactory_.bind([](ZUVVastWrapperResolver& self, platform::Result<std::string> body) {
        self.fetched(std::move(body));
      }));
  timeout_ = platform::RunLoop::main().performAfterDelay(
      options_.fetchTimeout, weakFactory_.bind([](ZUVVastWrapperResolver& self) {
        self.fetch_.reset();
        self.fail(
            ZUVVastError(kZUVVastWrapperTimeout,
                         "no document from " + platform::text::singleLine(self.fetching_, 200) +
                             " within " + platform::secondsText(self.options_.fetchTimeout) + " s"),
            {});
      }));
}

void ZUVVastWrapperResolver::fetched(platform::Result<std::string> body) {
  timeout_.cancel();
  // The fetch may be what called: it goes at the end of this pass, not now.
  platform::RunLoop::main().releaseLater(std::shared_ptr<ZUVVastFetch>(std::move(fetch_)));
  if (!body) return fail(body.error(), {});
  // An empty answer is how many servers say they have no ad.
  if (platform::text::trimmed(*body).empty()) return enter(ZUVVastDocument{}, fetching_);
  auto document = ZUVVastReader::read(*body);
  if (!document) {
    return fail(ZUVVastError(static_cast<ZUVVastErrorCode>(document.error().code),
                             fetching_ + ": " + document.error().localizedDescription()),
                {});
  }
  enter(std::move(*document), fetching_);
}

std::vector<std::string> ZUVVastWrapperResolver::pathErrorURLs() const {
  std::vector<std::string> urls;
  for (std::size_t i = 0; i < levels_.size(); ++i) {
    if (levels_[i].current) append(urls, currentAd(i).errorURLs);
  }
  return urls;
}

void ZUVVastWrapperResolver::fail(platform::Error error,
                                  const std::vector<std::string>& moreErrorURLs) {
  platform::log("<Vozave> The video ad failed with VAST error " + std::to_string(error.code) +
                ": " + error.localizedDescription());
  result_.errorURLs = pathErrorURLs();
  append(result_.errorURLs, moreErrorURLs);
  result_.error = std::move(error);
  finish();
}

void ZUVVastWrapperResolver::succeed(const ZUVVastAd& inlineAd) {
  ZUVVastAd merged;
  for (std::size_t i = 0; i < levels_.size(); ++i) {
    const ZUVVastAd& ad = currentAd(i);
    append(merged.impressionURLs, ad.impressionURLs);
    append(merged.errorURLs, ad.errorURLs);
    append(merged.tracking, ad.tracking);
    append(merged.clickTrackingURLs, ad.clickTrackingURLs);
    append(merged.verifications, ad.verifications);
  }
  ZUVVastAd ad = inlineAd;
  ad.impressionURLs = std::move(merged.impressionURLs);
  ad.errorURLs = std::move(merged.errorURLs);
  ad.tracking = std::move(merged.tracking);
  ad.clickTrackingURLs = std::move(merged.clickTrackingURLs);
  ad.verifications = std::move(merged.verifications);
  result_.ad = std::move(ad);
  finish();
}

void ZUVVastWrapperResolver::finish() {
  fetch_.reset();
  timeout_.cancel();
  delivery_ = platform::RunLoop::main().performAfterDelay(
      platform::Duration::zero(), weakFactory_.bind([](ZUVVastWrapperResolver& self) {
        Completion completion = std::move(self.completion_);
        if (completion) completion(std::move(self.result_));
      }));
}
