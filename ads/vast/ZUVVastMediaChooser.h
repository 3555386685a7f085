#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ads/vast/ZUVVastAd.h"
#include "platform/foundation/Result.h"

// Picks the media file a linear ad plays, for the player and `vozave vast`. Playable files are
// progressive downloads (a missing delivery counts as one) of H.264 MP4 or WebM (VP8, VP9,
// AV1), codecs unnamed or of those. Among them size comes first: a file that fits the screen
// (either way round, since the interface turns to the video) beats one that does not; among
// those that fit the largest wins, among those that do not the smallest, and a file of unknown
// size comes last. Between files of the best size the bit rate decides: the highest within the
// network's budget (5,000 kbit/s on wifi, 1,500 on a cellular or unknown network), else one of
// unknown rate, else the lowest. Ties go to the first in the document. None playable is 403.
struct ZUVVastMediaContext {
  int screenWidth = 0, screenHeight = 0;  // in pixels
  bool wifi = false;

  // The device profile's screen and network now.
  static ZUVVastMediaContext current();
  int budgetKbps() const { return wifi ? 5000 : 1500; }
};

struct ZUVVastMediaChoice {
  ZUVVastMediaFile file;
  std::string why;  // one line
};

// The media types chosen from (video/mp4, video/webm), as full-screen ad requests announce them.
std::vector<std::string_view> ZUVVastMediaTypes();

platform::Result<ZUVVastMediaChoice> ZUVVastChooseMedia(const std::vector<ZUVVastMediaFile>& files,
                                                        const ZUVVastMediaContext& context);
