#include <iostream>
#include <optional>
#include <string>

#include "ads/vast/ZUVVastMacros.h"
#include "ads/vast/ZUVVastMediaChooser.h"
#include "ads/vast/ZUVVastReader.h"
#include "ads/vast/ZUVVastWrapperResolver.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/xml/XML.h"
#include "tools/vozave/Command.h"

namespace vozave {

namespace {

std::string line(std::string_view text) {
  return platform::text::singleLine(text, 400);
}

// The document's text from a web URL or a file, read no further than the reader's cap.
platform::Result<std::string> readDocument(const std::string& source) {
  if (auto url = platform::URL::parse(source); url && url->isHTTPOrHTTPS()) {
    std::optional<platform::Result<std::string>> body;
    auto fetch = ZUVVastHTTPFetcher()(
        *url, [&](platform::Result<std::string> result) { body = std::move(result); });
    // The connection's time-outs end every fetch; the cap only guards against a stuck loop.
    platform::RunLoop::main().runUntil([&] { return body.has_value(); }, platform::seconds(600));
    if (!body) return ZUVVastError(kZUVVastWrapperTimeout, "no answer from " + source);
    return std::move(*body);
  }
  std::size_t cap = platform::xml::Limits{}.maxBytes;
  auto bytes = platform::FileManager::defaultManager().readStream(source, cap);
  if (!bytes && bytes.error().code == platform::kFileReadTooLarge) {
    return ZUVVastError(kZUVVastXMLParseError,
                        "the document is larger than " + std::to_string(cap) + " bytes");
  }
  if (!bytes) {
    return platform::Error::make(
        "VozaveUsageErrorDomain", 1,
        "cannot read " + source + ": " + bytes.error().localizedDescription());
  }
  return std::string(bytes->begin(), bytes->end());
}

void printChain(const ZUVVastResolution& resolution) {
  if (resolution.chain.empty()) return;
  std::cout << "chain:\n";
  int step = 0;
  for (const auto& [source, ad] : resolution.chain) {
    std::cout << "  " << ++step << ". " << line(source) << ": "
              << (ad.kind == ZUVVastAd::Kind::Wrapper ? "wrapper" : "inline") << " ad \""
              << line(ad.id) << "\"";
    if (ad.kind == ZUVVastAd::Kind::Wrapper) std::cout << " -> " << line(ad.adTagURI);
    if (ad.kind == ZUVVastAd::Kind::InLine)
      std::cout << ", " << ZUVVastTimeText(ad.durationSeconds);
    std::cout << "\n";
  }
}

void printURLs(const std::string& event, const std::vector<std::string>& urls) {
  for (const std::string& url : urls) std::cout << "  " << event << ": " << line(url) << "\n";
}

void printTracking(const ZUVVastAd& ad) {
  std::cout << "tracking:\n";
  printURLs("impression", ad.impressionURLs);
  for (const ZUVVastTracking& tracking : ad.tracking) {
    std::string event = line(tracking.event);
    if (tracking.offset) event += " " + tracking.offset->description();
    std::cout << "  " << event << ": " << line(tracking.url) << "\n";
  }
  printURLs("clickTracking", ad.clickTrackingURLs);
  for (const ZUVVastVerification& verification : ad.verifications) {
    printURLs("verificationNotExecuted (" + line(verification.vendor) + ")",
              verification.notExecutedURLs);
  }
  printURLs("error", ad.errorURLs);
}

// Prints what the player would do with the ad; the error it would fire, if any.
std::optional<platform::Error> printAd(const ZUVVastAd& ad) {
  if (ad.kind == ZUVVastAd::Kind::Wrapper) {
    std::cout << "wrapper: not followed (--follow follows it)\n";
    printTracking(ad);
    return std::nullopt;
  }
  ZUVVastMediaContext context = ZUVVastMediaContext::current();
  auto choice = ZUVVastChooseMedia(ad.mediaFiles, context);
  if (choice) {
    const ZUVVastMediaFile& file = choice->file;
    std::cout << "media: " << line(file.url) << " (" << line(file.type)
              << ")\n  why: " << choice->why << "\n";
  }
  std::cout << "skippable: "
            << (ad.skipOffset ? "after " + ad.skipOffset->description() : std::string("no"))
            << "\nclick-through: " << line(ad.clickThroughURL.value_or("(none)")) << "\n";
  printTracking(ad);
  if (!choice) return choice.error();
  return std::nullopt;
}

int report(const ZUVVastResolution& resolution) {
  printChain(resolution);
  std::optional<platform::Error> error = resolution.error;
  if (resolution.ad) error = printAd(*resolution.ad);
  for (const std::string& note : resolution.notes) std::cout << "note: " << line(note) << "\n";
  if (!error) return 0;
  std::cout << "error: " << error->code << " " << line(error->localizedDescription()) << "\n";
  ZUVVastMacroValues values = ZUVVastMacroValues::current();
  values.errorCode = error->code;
  auto urls = resolution.ad ? resolution.ad->errorURLs : resolution.errorURLs;
  for (const std::string& url : urls) {
    std::cout << "  fires: " << line(ZUVVastExpandMacros(url, values)) << "\n";
  }
  return 1;
}

// The document's own ad to play, its wrapper shown as it is.
ZUVVastResolution unfollowed(const ZUVVastDocument& document, const std::string& source) {
  ZUVVastResolution resolution;
  resolution.notes = document.notes;
  const ZUVVastAd* ad = document.adToPlay();
  if (!ad) {
    resolution.error = ZUVVastError(kZUVVastNoAdAfterWrapper, "the document holds no ad to play");
    resolution.errorURLs = document.errorURLs;
    return resolution;
  }
  resolution.chain.emplace_back(source, *ad);
  if (ad->fault) {
    resolution.error = ad->fault;
    resolution.errorURLs = ad->errorURLs;
  } else {
    resolution.ad = *ad;
  }
  return resolution;
}

int vast(const Arguments& args) {
  std::string source;
  bool follow = false;
  for (const std::string& arg : args) {
    if (arg == "--follow") {
      follow = true;
    } else if (arg.starts_with("--") || !source.empty()) {
      return usageError("unexpected argument " + arg);
    } else {
      source = arg;
    }
  }
  if (source.empty()) return usageError("vast takes a file or a URL");
  ZUVVastResolution resolution;
  auto text = readDocument(source);
  auto document =
      text ? ZUVVastReader::read(*text) : platform::Result<ZUVVastDocument>(text.error());
  if (!document) {
    if (document.error().domain != kZUVVastErrorDomain) {
      std::cerr << "vozave: " << document.error().localizedDescription() << "\n";
      return 1;
    }
    resolution.error = document.error();
    return report(resolution);
  }
  std::cout << "document: " << line(source) << " (VAST " << line(document->version) << ", "
            << document->ads.size() << " ad(s))\n";
  if (!follow) return report(unfollowed(*document, source));
  ZUVVastWrapperResolver resolver({});
  std::optional<ZUVVastResolution> result;
  resolver.resolve(*document, source, [&](ZUVVastResolution done) { result = std::move(done); });
  platform::RunLoop::main().runUntil([&] { return result.has_value(); }, platform::seconds(600));
  if (!result) return usageError("the wrappers took too long");
  return report(*result);
}

}  // namespace

std::vector<Command> vastCommands() {
  return {
      {"vast",
       "  vast FILE|URL [--follow]\n"
       "      read a video ad's document (following its wrappers with --follow) and print the\n"
       "      chain, the media file the phone would play and why, every tracking URL by event,\n"
       "      and the error it would fire; exits 1 when it would fire one\n",
       vast},
  };
}

}  // namespace vozave
