#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Error.h"

// A video ad as a VAST document describes it, and the error codes the standard numbers its
// failures with. The reader fills it, the wrapper resolver merges a chain of them, the media
// chooser and the player read it. Every URL here is http or https: the reader drops others.

// Errors of the video ads: domain kZUVVastErrorDomain, the standard's own codes.
inline constexpr const char* kZUVVastErrorDomain = "ZUVVastErrorDomain";
enum ZUVVastErrorCode : long {
  kZUVVastXMLParseError = 100,
  kZUVVastSchemaError = 101,
  kZUVVastVersionNotSupported = 102,
  kZUVVastUnexpectedLinearity = 201,
  kZUVVastWrapperError = 300,
  kZUVVastWrapperTimeout = 301,
  kZUVVastWrapperLimitReached = 302,
  kZUVVastNoAdAfterWrapper = 303,
  kZUVVastLinearError = 400,
  kZUVVastMediaNotFound = 401,
  kZUVVastMediaTimeout = 402,
  kZUVVastNoSupportedMedia = 403,
  kZUVVastMediaProblem = 405,
  kZUVVastUndefinedError = 900,
};
platform::Error ZUVVastError(ZUVVastErrorCode code, std::string message);

// A point in a linear ad: a time from its start or a share of its duration.
struct ZUVVastOffset {
  bool isPercent = false;
  double value = 0;  // seconds, or percent (0 to 100)

  // "HH:MM:SS", "HH:MM:SS.mmm" or "n%" (n from 0 to 100, decimals allowed); null otherwise.
  static std::optional<ZUVVastOffset> parse(std::string_view text);
  // Seconds from the start for an ad of `duration` seconds.
  double secondsInto(double duration) const { return isPercent ? duration * value / 100 : value; }
  std::string description() const;  // "5s" or "25%"
};

// "HH:MM:SS" or "HH:MM:SS.mmm" (minutes and seconds below 60) in seconds; null otherwise.
std::optional<double> ZUVVastParseTime(std::string_view text);
// Seconds as "HH:MM:SS.mmm".
std::string ZUVVastTimeText(double seconds);

struct ZUVVastMediaFile {
  std::string url;
  std::string delivery;  // "progressive" or "streaming", as written
  std::string type;      // the MIME type, lower case
  std::string codec;
  int width = 0, height = 0;                        // 0: not given
  int bitrate = 0, minBitrate = 0, maxBitrate = 0;  // kbit/s; 0: not given
};

struct ZUVVastTracking {
  std::string event;                    // "start", "firstQuartile", "progress", ...
  std::optional<ZUVVastOffset> offset;  // progress events only
  std::string url;
};

// A measurement script the ad asks for; the phone runs none, so only its
// "verificationNotExecuted" tracking matters.
struct ZUVVastVerification {
  std::string vendor;
  std::vector<std::string> notExecutedURLs;
};

struct ZUVVastAd {
  enum class Kind { InLine, Wrapper };
  Kind kind = Kind::InLine;
  std::string id;
  std::optional<int> sequence;  // its place in a pod; none for a stand-alone ad
  std::vector<std::string> impressionURLs;
  std::vector<std::string> errorURLs;
  std::vector<ZUVVastTracking> tracking;
  std::vector<std::string> clickTrackingURLs;
  std::vector<ZUVVastVerification> verifications;
  // The linear creative of an inline ad.
  double durationSeconds = 0;
  std::vector<ZUVVastMediaFile> mediaFiles;
  std::optional<std::string> clickThroughURL;
  std::optional<ZUVVastOffset> skipOffset;  // none: not skippable
  // A wrapper's.
  std::string adTagURI;
  bool followAdditionalWrappers = true;
  bool fallbackOnNoAd = false;
  // Why this ad cannot be used (its code is the standard's); none when it can.
  std::optional<platform::Error> fault;

  // The URLs of one tracking event, in order.
  std::vector<std::string> trackingURLs(std::string_view event) const;
};

// A whole document: its version, every ad in it, the root's error URLs (fired when it holds no
// ad), and what of it is not used, one note a line.
struct ZUVVastDocument {
  std::string version;
  std::vector<ZUVVastAd> ads;
  std::vector<std::string> errorURLs;
  std::vector<std::string> notes;

  // The ad to play: the first of a pod (the lowest sequence), else the first ad; null for none.
  const ZUVVastAd* adToPlay() const;
};
