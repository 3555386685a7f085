#include "ads/vast/ZUVVastReader.h"

#include <charconv>
#include <set>

#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"
#include "platform/xml/XML.h"

namespace {

using platform::xml::Element;

// The state of one reading: the notes so far (each once) and the URLs dropped.
class Reading {
 public:
  explicit Reading(ZUVVastDocument& document) : document_(document) {}

  void note(const std::string& text) {
    if (noted_.insert(text).second) document_.notes.push_back(text);
  }

  // The element's text as an http(s) URL; null for an empty one, and for another kind, which
  // is counted for the log line.
  std::optional<std::string> url(const Element& element) {
    std::string_view text = platform::text::trimmed(element.text);
    if (text.empty()) return std::nullopt;
    auto parsed = platform::URL::parse(text);
    if (parsed && parsed->isHTTPOrHTTPS()) return parsed->absoluteString();
    if (dropped_++ == 0) firstDropped_ = std::string(text);
    return std::nullopt;
  }

  void addURLs(const Element& parent, std::string_view name, std::vector<std::string>& into) {
    for (const Element* element : parent.childrenNamed(name)) {
      if (auto found = url(*element)) into.push_back(*found);
    }
  }

  void logDropped() const {
    if (dropped_ == 0) return;
    platform::log("<Vozave> The video ad's document has " + std::to_string(dropped_) +
                  " URL(s) that are not http or https, ignored; the first: " +
                  platform::text::singleLine(firstDropped_, 200));
  }

 private:
  ZUVVastDocument& document_;
  std::set<std::string> noted_;
  std::size_t dropped_ = 0;
  std::string firstDropped_;
};

std::optional<int> intAttribute(const Element& element, std::string_view name) {
  const std::string* text = element.attribute(name);
  if (!text) return std::nullopt;
  std::string_view value = platform::text::trimmed(*text);
  int number = 0;
  auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
  if (value.empty() || error != std::errc() || end != value.data() + value.size()) {
    return std::nullopt;
  }
  return number;
}

bool boolAttribute(const Element& element, std::string_view name, bool fallback) {
  const std::string* text = element.attribute(name);
  if (!text) return fallback;
  std::string value = platform::text::asciiLowercase(platform::text::trimmed(*text));
  if (value == "true" || value == "1") return true;
  if (value == "false" || value == "0") return false;
  return fallback;
}

std::string attributeOr(const Element& element, std::string_view name) {
  const std::string* text = element.attribute(name);
  return text ? std::string(platform::text::trimmed(*text)) : std::string();
}

void readTracking(const Element& events, ZUVVastAd& ad, Reading& reading) {
  for (const Element* tracking : events.childrenNamed("Tracking")) {
    auto url = reading.url(*tracking);
    if (!url) continue;
    ZUVVastTracking entry{attributeOr(*tracking, "event"), std::nullopt, *url};
    if (entry.event == "progress") {
      entry.offset = ZUVVastOffset::parse(attributeOr(*tracking, "offset"));
      if (!entry.offset) {
        reading.note("a progress tracking without a valid offset is ignored");
        continue;
      }
    }
    ad.tracking.push_back(std::move(entry));
  }
}

void readMediaFiles(const Element& mediaFiles, ZUVVastAd& ad, Reading& reading) {
  if (mediaFiles.child("InteractiveCreativeFile")) {
    reading.note("interactive creative files (SIMID) are not played");
  }
  for (const Element* file : mediaFiles.childrenNamed("MediaFile")) {
    if (file->attribute("apiFramework")) {
      reading.note("media files of an API framework (VPAID) are not played");
      continue;
    }
    auto url = reading.url(*file);
    if (!url) continue;
    ZUVVastMediaFile media;
    media.url = *url;
    media.delivery = platform::text::asciiLowercase(attributeOr(*file, "delivery"));
    media.type = platform::text::asciiLowercase(attributeOr(*file, "type"));
    media.codec = attributeOr(*file, "codec");
    auto positive = [&](std::string_view name) {
      return std::max(0, intAttribute(*file, name).value_or(0));
    };
    media.width = positive("width");
    media.height = positive("height");
    media.bitrate = positive("bitrate");
    media.minBitrate = positive("minBitrate");
    media.maxBitrate = positive("maxBitrate");
    ad.mediaFiles.push_back(std::move(media));
  }
}

void readLinear(const Element& linear, ZUVVastAd& ad, Reading& reading) {
  if (const std::string* skip = linear.attribute("skipoffset")) {
    ad.skipOffset = ZUVVastOffset::parse(*skip);
    if (!ad.skipOffset) reading.note("a malformed skip offset makes the ad not skippable");
  }
  if (const Element* events = linear.child("TrackingEvents")) readTracking(*events, ad, reading);
  if (const Element* clicks = linear.child("VideoClicks")) {
    if (const Element* through = clicks->child("ClickThrough")) {
      ad.clickThroughURL = reading.url(*through);
    }
    reading.addURLs(*clicks, "ClickTracking", ad.clickTrackingURLs);
  }
  if (linear.child("Icons")) reading.note("icons are not shown");
  if (ad.kind == ZUVVastAd::Kind::Wrapper) return;
  if (const Element* files = linear.child("MediaFiles")) readMediaFiles(*files, ad, reading);
  const Element* duration = linear.child("Duration");
  auto seconds = duration ? ZUVVastParseTime(duration->text) : std::nullopt;
  if (seconds) {
    ad.durationSeconds = *seconds;
  } else {
    ad.fault = ZUVVastError(
        kZUVVastSchemaError,
        duration ? "malformed Duration \"" + platform::text::singleLine(duration->text, 40) + "\""
                 : "the linear creative has no Duration");
  }
}

void readCreatives(const Element& creatives, ZUVVastAd& ad, Reading& reading) {
  bool found = false;
  for (const Element* creative : creatives.childrenNamed("Creative")) {
    if (creative->child("CompanionAds")) reading.note("companion ads are not shown");
    if (creative->child("NonLinearAds")) reading.note("non-linear ads are not shown");
    const Element* linear = creative->child("Linear");
    if (!linear) continue;
    if (found) {
      reading.note("only the first linear creative of an ad is played");
      continue;
    }
    found = true;
    readLinear(*linear, ad, reading);
  }
  if (!found && ad.kind == ZUVVastAd::Kind::InLine && !ad.fault) {
    ad.fault = ZUVVastError(kZUVVastUnexpectedLinearity, "the ad has no linear creative");
  }
}

void readVerifications(const Element& list, ZUVVastAd& ad, Reading& reading) {
  for (const Element* verification : list.childrenNamed("Verification")) {
    ZUVVastVerification entry{attributeOr(*verification, "vendor"), {}};
    if (const Element* events = verification->child("TrackingEvents")) {
      for (const Element* tracking : events->childrenNamed("Tracking")) {
        if (attributeOr(*tracking, "event") != "verificationNotExecuted") continue;
        if (auto url = reading.url(*tracking)) entry.notExecutedURLs.push_back(*url);
      }
    }
    ad.verifications.push_back(std::move(entry));
  }
}

// Verifications stand in the ad itself since VAST 4.1, in an extension before.
void readAllVerifications(const Element& body, ZUVVastAd& ad, Reading& reading) {
  if (const Element* list = body.child("AdVerifications")) readVerifications(*list, ad, reading);
  if (const Element* extensions = body.child("Extensions")) {
    for (const Element* extension : extensions->childrenNamed("Extension")) {
      if (attributeOr(*extension, "type") != "AdVerifications") continue;
      if (const Element* list = extension->child("AdVerifications")) {
        readVerifications(*list, ad, reading);
      }
    }
  }
}

std::optional<ZUVVastAd> readAd(const Element& element, Reading& reading) {
  ZUVVastAd ad;
  ad.id = attributeOr(element, "id");
  if (element.attribute("sequence")) {
    ad.sequence = intAttribute(element, "sequence");
    if (!ad.sequence) reading.note("a malformed sequence makes its ad stand alone");
  }
  const Element* body = element.child("InLine");
  if (!body) {
    body = element.child("Wrapper");
    ad.kind = ZUVVastAd::Kind::Wrapper;
  }
  if (!body) {
    reading.note("an Ad with neither InLine nor Wrapper is ignored");
    return std::nullopt;
  }
  reading.addURLs(*body, "Impression", ad.impressionURLs);
  reading.addURLs(*body, "Error", ad.errorURLs);
  if (const Element* creatives = body->child("Creatives")) readCreatives(*creatives, ad, reading);
  readAllVerifications(*body, ad, reading);
  if (ad.kind == ZUVVastAd::Kind::Wrapper) {
    ad.followAdditionalWrappers = boolAttribute(*body, "followAdditionalWrappers", true);
    ad.fallbackOnNoAd = boolAttribute(*body, "fallbackOnNoAd", false);
    const Element* tag = body->child("VASTAdTagURI");
    if (auto uri = tag ? reading.url(*tag) : std::nullopt) {
      ad.adTagURI = *uri;
    } else {
      ad.fault = ZUVVastError(kZUVVastSchemaError, "the wrapper has no http(s) VASTAdTagURI");
    }
  }
  return ad;
}

platform::Result<std::string> checkedVersion(const Element& root) {
  if (root.name != "VAST") {
    return ZUVVastError(
        kZUVVastSchemaError,
        "the root element is " + platform::text::singleLine(root.name, 40) + ", not VAST");
  }
  const std::string* version = root.attribute("version");
  if (!version) return ZUVVastError(kZUVVastSchemaError, "the VAST element has no version");
  std::string_view text = platform::text::trimmed(*version);
  if (!(text.starts_with("2.") || text.starts_with("3.") || text.starts_with("4."))) {
    return ZUVVastError(kZUVVastVersionNotSupported,
                        "VAST version " + platform::text::singleLine(text, 20) + " is not read (" +
                            std::string(ZUVVastReader::kVersions.front()) + " to " +
                            std::string(ZUVVastReader::kVersions.back()) + " are)");
  }
  return std::string(text);
}

}  // namespace

platform::Result<ZUVVastDocument> ZUVVastReader::read(std::string_view text) {
  auto tree = platform::xml::parse(text);
  if (!tree) return ZUVVastError(kZUVVastXMLParseError, tree.error().localizedDescription());
  auto version = checkedVersion(*tree);
  if (!version) return version.error();
  ZUVVastDocument document;
  document.version = *version;
  Reading reading(document);
  reading.addURLs(*tree, "Error", document.errorURLs);
  for (const Element* element : tree->childrenNamed("Ad")) {
    if (auto ad = readAd(*element, reading)) document.ads.push_back(std::move(*ad));
  }
  if (document.ads.size() > 1) {
    reading.note("the document holds " + std::to_string(document.ads.size()) +
                 " ads; only one is played (the first of a pod)");
  }
  reading.logDropped();
  return document;
}
