#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "tools/adserver/Inventory.h"

// The demo ad server's editable content: the support script's template, the creatives, the
// full-screen pages and the landing pages under resources/adserver/. Files are read at each
// request, so that an ad's author sees an edit at the next load; the AdServer fills in the
// values that depend on the request.
namespace adserver {

// The values a creative's placeholders take for one ad.
struct AdPlaceholders {
  std::string origin;  // {{AD_ORIGIN}}, and percent-encoded {{AD_ORIGIN_ENCODED}}
  std::string slot;    // {{SLOT}}
  std::string ticket;  // {{TICKET}}: names this ad in its click and tracking URLs
};

class AdContent {
 public:
  // Files larger than this are refused rather than read.
  static constexpr std::size_t kMaximumFileSize = 1 << 20;

  // Finds the creatives; an error when the folder lacks the script template or has no
  // creative.
  platform::Result<void> load(const std::string& directory);

  // A creative held in memory rather than read from the folder (vozave check's); it takes
  // the place of a file of the same name.
  void addCreative(const std::string& name, std::string html);

  const std::string& directory() const { return directory_; }
  const std::set<std::string>& creativeNames() const { return creatives_; }
  // The video ads as an inventory names them, "vast:NAME" for each vast/NAME.xml.
  const std::set<std::string>& videoCreativeNames() const { return videos_; }
  // The modification time of the script template, in seconds since 1970.
  double scriptTemplateModified() const;

  // The support script for ads on `origin`, with each named unit's script behaviour.
  std::optional<std::string> supportScript(const std::string& origin,
                                           const Inventory& inventory) const;
  std::optional<std::string> creative(const std::string& name, const AdPlaceholders& values) const;
  // "webapp.html", "video.html", or a landing page "landing/<name>.html".
  std::optional<std::string> page(const std::string& relativePath) const;
  // A file of the MRAID creatives' folder, "<name>.html" or "<name>.js".
  std::optional<std::string> mraidFile(const std::string& fileName) const;
  // A video ad's document "vast/<name>.xml", its URLs on `origin`.
  std::optional<std::string> videoDocument(const std::string& name,
                                           const std::string& origin) const;
  // The document of a video creative "vast:NAME" of videoCreativeNames(), its URLs on `origin`.
  std::optional<std::string> videoCreative(const std::string& name,
                                           const std::string& origin) const;
  // A clip of the video ads, "video/<name>.webm".
  std::optional<std::string> videoClip(const std::string& name) const;

  // `markup` as an ad page: as it is when it is a whole document, else a fragment (an ad
  // tag) put in the body of one, at the phone's width with no margin.
  static std::string asPage(std::string_view markup);

  // The fault pages: built in, since an author has no reason to edit them.
  static std::string emptyPage();
  static std::string navigationLoopPage();
  static std::string runawayScriptPage();
  static std::string messageFloodPage();

 private:
  std::optional<std::string> readFile(const std::string& relativePath) const;
  // {{MRAID_CHECKS}}: the MRAID creatives' shared checks, written into the page itself, since an
  // ad page's own requests to the ad server's host may not reach a server on this machine.
  void fillMraidChecks(std::string& text) const;

  std::string directory_;
  std::set<std::string> creatives_;
  std::set<std::string> videos_;
  std::map<std::string, std::string> held_;
};

}  // namespace adserver
