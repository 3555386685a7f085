#include "ads/vast/ZUVVastMediaChooser.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <tuple>

#include "platform/device/Device.h"
#include "platform/foundation/Text.h"

namespace {

// The types played, each with the codecs the engine decodes in it.
constexpr std::string_view kMP4Codecs[] = {"avc1", "avc3", "h264", "h.264", "mp4a", "aac"};
constexpr std::string_view kWebMCodecs[] = {"vp8", "vp9", "vp09", "av01", "av1", "opus", "vorbis"};
struct PlayableType {
  std::string_view type;
  std::span<const std::string_view> codecs;
};
constexpr PlayableType kPlayableTypes[] = {{"video/mp4", kMP4Codecs}, {"video/webm", kWebMCodecs}};

bool playableCodecs(std::string_view codecs, std::span<const std::string_view> known) {
  std::string lower = platform::text::asciiLowercase(codecs);
  std::string_view rest = lower;
  while (!rest.empty()) {
    std::size_t comma = rest.find(',');
    std::string_view codec = platform::text::trimmed(rest.substr(0, comma));
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    if (codec.empty()) continue;
    bool found = std::any_of(known.begin(), known.end(),
                             [&](std::string_view name) { return codec.starts_with(name); });
    if (!found) return false;
  }
  return true;
}

// Why the engine cannot play `file`; empty when it can.
std::string unplayable(const ZUVVastMediaFile& file) {
  if (!file.delivery.empty() && file.delivery != "progressive") return file.delivery + " delivery";
  for (const PlayableType& playable : kPlayableTypes) {
    if (file.type == playable.type) {
      return playableCodecs(file.codec, playable.codecs) ? "" : "codec " + file.codec;
    }
  }
  return "type " + (file.type.empty() ? std::string("(none)") : file.type);
}

int kbps(const ZUVVastMediaFile& file) {
  return file.bitrate ? file.bitrate : file.maxBitrate ? file.maxBitrate : file.minBitrate;
}

bool fits(const ZUVVastMediaFile& file, const ZUVVastMediaContext& context) {
  return std::max(file.width, file.height) <= std::max(context.screenWidth, context.screenHeight) &&
         std::min(file.width, file.height) <= std::min(context.screenWidth, context.screenHeight);
}

// Larger is better: (size known, fits, area or its opposite), (within budget / unknown / over,
// rate or its opposite).
auto rank(const ZUVVastMediaFile& file, const ZUVVastMediaContext& context) {
  bool sized = file.width > 0 && file.height > 0;
  bool fitting = sized && fits(file, context);
  long long area = static_cast<long long>(file.width) * file.height;
  int rate = kbps(file);
  int rateClass = rate == 0 ? 1 : rate <= context.budgetKbps() ? 2 : 0;
  return std::make_tuple(sized, fitting, fitting ? area : -area, rateClass,
                         rateClass == 2 ? rate : -rate);
}

std::string why(const ZUVVastMediaFile& file, const ZUVVastMediaContext& context) {
  std::string screen =
      std::to_string(context.screenWidth) + "x" + std::to_string(context.screenHeight);
  std::string size = std::to_string(file.width) + "x" + std::to_string(file.height);
  std::string text = !(file.width > 0 && file.height > 0) ? "size unknown"
                     : fits(file, context)
                         ? size + ", the largest that fits the " + screen + " screen"
                         : size + ", the smallest, none fits the " + screen + " screen";
  int rate = kbps(file);
  std::string budget = std::to_string(context.budgetKbps()) + " kbit/s of " +
                       (context.wifi ? "wifi" : "a cellular network");
  if (rate == 0) return text + "; bit rate unknown";
  return text + "; " + std::to_string(rate) + " kbit/s, " +
         (rate <= context.budgetKbps() ? "the highest within the " : "the lowest, over the ") +
         budget;
}

}  // namespace

std::vector<std::string_view> ZUVVastMediaTypes() {
  std::vector<std::string_view> types;
  for (const PlayableType& playable : kPlayableTypes) types.push_back(playable.type);
  return types;
}

ZUVVastMediaContext ZUVVastMediaContext::current() {
  const platform::DeviceProfile& profile = platform::DeviceProfile::current();
  double scale = profile.screenScale.value_or(1.0);
  ZUVVastMediaContext context;
  context.screenWidth = static_cast<int>(std::lround(profile.screenSize.width * scale));
  context.screenHeight = static_cast<int>(std::lround(profile.screenSize.height * scale));
  context.wifi = profile.reachability == platform::NetworkReachability::WiFi;
  return context;
}

platform::Result<ZUVVastMediaChoice> ZUVVastChooseMedia(const std::vector<ZUVVastMediaFile>& files,
                                                        const ZUVVastMediaContext& context) {
  const ZUVVastMediaFile* best = nullptr;
  std::string refused;
  for (const ZUVVastMediaFile& file : files) {
    if (std::string problem = unplayable(file); !problem.empty()) {
      // A few reasons say enough; a document may list thousands of files.
      if (refused.find(problem) == std::string::npos && refused.size() < 200) {
        refused += (refused.empty() ? "" : ", ") + problem;
      }
    } else if (!best || rank(file, context) > rank(*best, context)) {
      best = &file;
    }
  }
  if (!best) {
    return ZUVVastError(kZUVVastNoSupportedMedia,
                        files.empty() ? "the ad has no media file"
                                      : "no media file the phone plays (" + refused + ")");
  }
  return ZUVVastMediaChoice{*best, why(*best, context)};
}
