// Reading VAST documents and choosing their media: a typical inline ad, and a document just
// under the reader's 1 MB cap (a wrapper chain's worst single answer). Prints MB/s.
#include <benchmark/benchmark.h>

#include <string>

#include "ads/vast/ZUVVastMediaChooser.h"
#include "ads/vast/ZUVVastReader.h"
#include "platform/foundation/Log.h"

namespace {

// An inline ad with `events` tracking events and `files` media files of stepped sizes.
std::string inlineDocument(int events, int files) {
  std::string out =
      "<?xml version=\"1.0\"?><VAST version=\"4.2\"><Ad id=\"a\"><InLine><AdSystem>b</AdSystem>"
      "<AdTitle>t</AdTitle><Impression><![CDATA[https://t.example/imp?c=[CACHEBUSTING]]]>"
      "</Impression><Error>https://t.example/err?e=[ERRORCODE]</Error><Creatives><Creative>"
      "<Linear skipoffset=\"00:00:05\"><Duration>00:00:30.000</Duration><TrackingEvents>";
  const char* names[] = {"start", "firstQuartile", "midpoint", "thirdQuartile", "complete"};
  for (int i = 0; i < events; ++i) {
    out += "<Tracking event=\"" + std::string(names[i % 5]) + "\">https://t.example/e" +
           std::to_string(i) + "?p=[ADPLAYHEAD]</Tracking>";
  }
  out +=
      "</TrackingEvents><VideoClicks><ClickThrough>https://shop.example/</ClickThrough>"
      "</VideoClicks><MediaFiles>";
  for (int i = 0; i < files; ++i) {
    const int width = 320 + 160 * (i % 10);
    out += "<MediaFile delivery=\"progressive\" type=\"" +
           std::string(i % 2 ? "video/mp4" : "video/webm") + "\" width=\"" + std::to_string(width) +
           "\" height=\"" + std::to_string(width * 9 / 16) + "\" bitrate=\"" +
           std::to_string(300 + 100 * i) + "\">https://cdn.example/v" + std::to_string(i) +
           ".mp4</MediaFile>";
  }
  return out + "</MediaFiles></Linear></Creative></Creatives></InLine></Ad></VAST>";
}

void read(benchmark::State& state, const std::string& document) {
  for (auto _ : state) {
    auto read = ZUVVastReader::read(document);
    benchmark::DoNotOptimize(read);
    if (!read) state.SkipWithError("the document did not read");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * document.size()));
}

void BM_ReadTypicalInline(benchmark::State& state) {
  read(state, inlineDocument(12, 6));
}

void BM_ReadNearTheCap(benchmark::State& state) {
  read(state, inlineDocument(10'000, 40));
}

void BM_ChooseAmongFortyFiles(benchmark::State& state) {
  auto document = ZUVVastReader::read(inlineDocument(5, 40));
  const auto& files = document->ads.front().mediaFiles;
  ZUVVastMediaContext context{750, 1334, true};
  for (auto _ : state) benchmark::DoNotOptimize(ZUVVastChooseMedia(files, context));
}

}  // namespace

BENCHMARK(BM_ReadTypicalInline);
BENCHMARK(BM_ReadNearTheCap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChooseAmongFortyFiles);
