#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ads/vast/ZUVVastAd.h"
#include "ads/vast/ZUVVastMediaChooser.h"
#include "ads/vast/ZUVVastTracker.h"
#include "ads/vast/ZUVVastWrapperResolver.h"
#include "platform/foundation/Result.h"
#include "platform/foundation/WeakFactory.h"

// A video ad ready to play: the inline ad with its wrappers' URLs merged, and its media file.
struct ZUVVastReadyAd {
  ZUVVastAd ad;
  ZUVVastMediaChoice media;
};

// Turns the answer to a full-screen ad request that is a VAST document into a video ad ready to
// play: reads it, follows its wrappers and chooses its media file. A failure ends in the
// standard's code (domain kZUVVastErrorDomain), fired to the error URLs known by then, with one
// log line. The ad controller starts one per video answer; destroying it stops everything.
class ZUVVastLoad {
 public:
  using Completion = std::function<void(const platform::Result<ZUVVastReadyAd>&)>;

  // Whether an ad page's answer is a video ad: an XML media type, or a body whose first element
  // is VAST.
  static bool isVastAnswer(std::string_view mediaType, std::string_view body);

  explicit ZUVVastLoad(ZUVVastWrapperResolver::Options options = {},
                       ZUVVastTracker::Sender sender = {});
  ZUVVastLoad(const ZUVVastLoad&) = delete;
  ZUVVastLoad& operator=(const ZUVVastLoad&) = delete;

  // `source` is where the document came from; the outcome comes in a later pass, once.
  void start(std::string_view document, std::string source, ZUVVastMediaContext context,
             Completion completion);

 private:
  void resolved(ZUVVastResolution resolution);
  void fail(const platform::Error& error, std::vector<std::string> errorURLs);

  ZUVVastTracker::Sender sender_;
  ZUVVastMediaContext context_;
  Completion completion_;
  ZUVVastWrapperResolver resolver_;
  platform::WeakFactory<ZUVVastLoad> weak_{this};  // last: its links die first
};
