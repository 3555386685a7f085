// Reads arbitrary bytes as a video ad's document: every input ends in a document or an error
// with one of the standard's codes, and every URL a document keeps is http or https; an ad
// page's answer that reads as a document is always told to be one.
#include "ads/vast/ZUVVastLoad.h"
#include "ads/vast/ZUVVastReader.h"
#include "fuzz/FuzzInput.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/URL.h"

namespace {

void requireWebURL(const std::string& text) {
  auto url = platform::URL::parse(text);
  fuzz::require(url && url->isHTTPOrHTTPS());
}

void requireWebURLs(const std::vector<std::string>& urls) {
  for (const auto& url : urls) requireWebURL(url);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The reader's log line for dropped URLs would flood the run's output.
  static const bool quiet = (platform::setLogSink([](const std::string&) {}), true);
  (void)quiet;
  const std::string_view text = fuzz::text(data, size);
  auto document = ZUVVastReader::read(text);
  const bool told = ZUVVastLoad::isVastAnswer("text/html", text);
  if (!document) {
    long code = document.error().code;
    fuzz::require(code == kZUVVastXMLParseError || code == kZUVVastSchemaError ||
                  code == kZUVVastVersionNotSupported);
    return 0;
  }
  fuzz::require(told);
  fuzz::require((document->adToPlay() != nullptr) == !document->ads.empty());
  requireWebURLs(document->errorURLs);
  for (const ZUVVastAd& ad : document->ads) {
    requireWebURLs(ad.impressionURLs);
    requireWebURLs(ad.errorURLs);
    requireWebURLs(ad.clickTrackingURLs);
    for (const auto& tracking : ad.tracking) requireWebURL(tracking.url);
    for (const auto& media : ad.mediaFiles) requireWebURL(media.url);
    if (ad.skipOffset) fuzz::require(ad.skipOffset->value >= 0);
    if (ad.kind == ZUVVastAd::Kind::Wrapper && !ad.fault) requireWebURL(ad.adTagURI);
  }
  return 0;
}
