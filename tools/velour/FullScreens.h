#pragma once

#include <cstddef>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "ads/core/ZUVBannerView.h"
#include "ads/mraid/ZUVMraidController.h"
#include "platform/foundation/Result.h"
#include "platform/ui/ViewController.h"
#include "platform/web/WebView.h"

namespace velour {

// The controllers that ads present over the application (the in-app browser, web
// applications, the mail composer, expanded and interstitial ads) and resized ads: the screen
// printer's lines for them, and a user's taps on their buttons and on the page of the web view in
// front. The Phone calls it; an action that cannot be carried out returns the refusal.
class FullScreens {
 public:
  // The status bar, then each presented controller over the screen it covers, front last,
  // then resized ads; MRAID ads with their state, from the banners on the screens or the
  // containers `ads` (the full-screen ads').
  static void print(std::ostream& out, std::vector<ZUVMraidController*> ads = {});

  // Prints the visible text of the page in front (as tapText finds it), one "text:" line per
  // line of it, at most kMaxTextLines; an error text when there is no page.
  static platform::Result<void> printText(std::ostream& out);
  static constexpr std::size_t kMaxTextLines = 200;

  // Taps the link or button whose text is `text` on the front web view: the page of the
  // full screen in front (an expanded ad's too), else the ad of the banner on the screen.
  static platform::Result<void> tapText(const std::string& text);
  // A toolbar or close button of the full screen in front, by command: "done", "close",
  // "back", "forward", "reload" or "open-outside"; "close" also taps the close control of the
  // expanded, interstitial or (without a full screen) resized ad in front.
  static platform::Result<void> pressControl(const std::string& command);
  // "send" or "cancel" on the mail composer in front.
  static platform::Result<void> finishMail(const std::string& how);

  // Runs the loop on host time after a tap until the screen shows its effect (a full screen
  // comes or goes, a page starts loading, something leaves the application), for at most
  // `budget`: the page answers a tap on its own time.
  static void awaitTapEffect(platform::Duration budget);
  // Whether the page of any full screen is loading.
  static bool isLoading();
  // "X,Y WxH".
  static std::string geometry(const platform::Rect& r);
  // The presented controller in front, if any.
  static std::shared_ptr<platform::ViewController> front();
};

}  // namespace velour
