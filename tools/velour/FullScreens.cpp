#include "tools/velour/FullScreens.h"

#include <cstdio>
#include <map>
#include <sstream>
#include <tuple>

#include "ads/core/ZUVObjectPrivate.h"
#include "ads/mraid/ZUVMraidController.h"
#include "ads/vast/ZUVVastPlayer.h"
#include "ads/web/ZUVBrowserController.h"
#include "ads/web/ZUVWebAppViewController.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/harness/Harness.h"
#include "platform/ui/Application.h"
#include "platform/ui/MailComposeViewController.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/Window.h"
#include "tools/velour/Banners.h"
#include "tools/velour/Refusal.h"

namespace velour {

namespace {

using platform::ViewController;
using platform::text::singleLine;

// The screen a presented controller covers: a tab bar stands for its selected board.
std::string coveredName(const std::shared_ptr<ViewController>& controller) {
  if (auto tabs = std::dynamic_pointer_cast<platform::TabBarController>(controller)) {
    if (auto selected = tabs->selectedViewController()) return selected->className();
  }
  return controller->className();
}

// Ad pages choose titles and mail fields: they must not break the screen's lines.
std::string joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const auto& part : parts) text += (text.empty() ? "" : ", ") + part;
  return singleLine(text);
}

void printPage(std::ostream& out, platform::WebView& web) {
  std::string url = web.request().url().absoluteString();
  std::string title = singleLine(web.stringByEvaluatingJavaScriptFromString("document.title"));
  out << "  page " << (url.empty() ? "(none)" : url) << " \"" << title << "\""
      << (web.isLoading() ? " loading" : "") << "\n";
}

std::string spinnerState(const platform::ActivityIndicatorView& spinner) {
  return spinner.isAnimating() ? "spinning" : "stopped";
}

void printBrowser(std::ostream& out, ZUVBrowserController& browser) {
  if (auto web = browser.webView()) printPage(out, *web);
  auto toolbar = browser.toolbar();
  if (!toolbar) return;
  std::vector<std::string> items;
  for (const auto& item : toolbar->items()) {
    if (item->isFlexibleSpace()) continue;
    auto spinner = std::dynamic_pointer_cast<platform::ActivityIndicatorView>(item->customView());
    if (spinner) {
      items.push_back("spinner " + spinnerState(*spinner));
    } else {
      items.push_back(item->describe() + (item->isEnabled() ? "" : " (disabled)"));
    }
  }
  out << "  toolbar: " << joined(items) << "\n";
}

void printWebApp(std::ostream& out, ZUVWebAppViewController& webApp) {
  if (auto web = webApp.webView()) printPage(out, *web);
  const auto& data = webApp.vars();
  if (data.closeButton && !data.closeButton->isHidden()) {
    const platform::Rect& frame = data.closeButton->frame();
    out << "  close button " << frame.origin.x << "," << frame.origin.y << " " << frame.size.width
        << "x" << frame.size.height << "\n";
  }
  bool spinning =
      data.loadingSpinner && data.loadingSpinner->superview() && data.loadingSpinner->isAnimating();
  out << "  spinner " << (spinning ? "spinning" : "gone") << "\n";
}

void printMail(std::ostream& out, platform::MailComposeViewController& mail) {
  out << "  to: " << joined(mail.toRecipients()) << "\n";
  if (!mail.ccRecipients().empty()) out << "  cc: " << joined(mail.ccRecipients()) << "\n";
  if (!mail.bccRecipients().empty()) out << "  bcc: " << joined(mail.bccRecipients()) << "\n";
  out << "  subject: " << singleLine(mail.subject()) << "\n";
  out << "  body" << (mail.isBodyHTML() ? " (HTML)" : "") << ": " << singleLine(mail.messageBody())
      << "\n";
}

// Where the video is, what it shows and what of its tracking has gone.
void printVideo(std::ostream& out, const ZUVVastPlayer& player) {
  char position[64];
  std::snprintf(position, sizeof position, "%.1f of %.1f s", player.position(), player.duration());
  out << "  video: " << position << (player.isMuted() ? ", muted" : ", sound on");
  if (auto at = player.skippableAt()) {
    char when[32];
    std::snprintf(when, sizeof when, "%.1f s", *at);
    out << ", skippable at " << when;
  } else {
    out << ", not skippable";
  }
  out << (player.isClosable() ? ", closable" : "") << "\n";
  out << "  controls: " << joined(player.visibleControls()) << "\n";
  const auto& fired = player.tracker().firedEvents();
  out << "  fired: " << (fired.empty() ? std::string("(nothing yet)") : joined(fired)) << "\n";
}

std::shared_ptr<platform::WebView> firstWebView(const std::shared_ptr<platform::View>& view) {
  if (auto web = std::dynamic_pointer_cast<platform::WebView>(view)) return web;
  for (const auto& sub : view->subviews()) {
    if (auto web = firstWebView(sub)) return web;
  }
  return nullptr;
}

// The web view of a browser or web application, or the ad's of an expanded or interstitial ad.
std::shared_ptr<platform::WebView> pageOf(const std::shared_ptr<ViewController>& shown) {
  if (auto browser = std::dynamic_pointer_cast<ZUVBrowserController>(shown)) {
    return browser->webView();
  }
  if (auto webApp = std::dynamic_pointer_cast<ZUVWebAppViewController>(shown)) {
    return webApp->webView();
  }
  if (!shown->isViewLoaded()) return nullptr;
  return firstWebView(shown->view());
}

const char* presentationName(ZUVMraidPresentation presentation) {
  switch (presentation) {
    case ZUVMraidPresentation::InPlace:
      return "in place";
    case ZUVMraidPresentation::Expanded:
      return "expanded";
    case ZUVMraidPresentation::Resized:
      return "resized";
    case ZUVMraidPresentation::Interstitial:
      return "interstitial";
  }
  return "?";
}

// The MRAID state of the ad that `presenter` shows, from its container among `ads`.
std::string stateOf(const ZUVMraidPresenter& presenter,
                    const std::vector<ZUVMraidController*>& ads) {
  for (auto* mraid : ads) {
    if (&mraid->presenter() == &presenter) {
      return std::string(ZUVMraidController::stateName(mraid->state()));
    }
  }
  return "unknown";
}

// "mraid ad: expanded, state expanded, 0,0 320x480, close control 270,0 50x50" (window
// coordinates).
void printMraidAd(std::ostream& out, const ZUVMraidPresenter& presenter, const char* indent,
                  const std::vector<ZUVMraidController*>& ads) {
  out << indent << "mraid ad: " << presentationName(presenter.presentation()) << ", state "
      << stateOf(presenter, ads);
  if (auto web = presenter.adView()) out << ", " << FullScreens::geometry(web->frameInWindow());
  if (auto close = presenter.closeControl()) {
    out << ", close control " << FullScreens::geometry(close->frameInWindow());
    // A rewarded ad's, until its time has been watched.
    if (close->isHidden()) out << " (hidden)";
  }
  out << "\n";
}

// The presenter of the expanded, interstitial or resized ad that is in front: the one whose
// screen `shown` is, else without a full screen the last resized one.
ZUVMraidPresenter* mraidAdInFront(const std::shared_ptr<ViewController>& shown) {
  const auto& showing = ZUVMraidPresenter::showing();
  for (auto it = showing.rbegin(); it != showing.rend(); ++it) {
    bool resized = (*it)->presentation() == ZUVMraidPresentation::Resized;
    if (shown ? (!resized && (*it)->frontController() == shown) : resized) return *it;
  }
  return nullptr;
}

platform::Result<std::shared_ptr<platform::WebView>> frontWebView() {
  if (auto shown = FullScreens::front()) {
    auto web = pageOf(shown);
    if (!web) return refused("the " + shown->className() + " in front shows no page");
    return web;
  }
  auto banner = Banners::topmostShown();
  if (!banner) return refused("no page on the screen");
  if (ZUVBannerController(*banner)->webView()->isHidden())
    return refused("the banner shows no ad yet");
  return ZUVBannerController(*banner)->webView();
}

// A finger on the centre of `frame` (window coordinates).
platform::Result<void> touchCentre(const platform::Rect& frame, const std::string& what) {
  auto window = platform::Window::keyWindow();
  platform::Point centre{frame.origin.x + frame.size.width / 2,
                         frame.origin.y + frame.size.height / 2};
  if (!window || !window->touchAt(centre)) {
    return refused("the tap on " + what + " reached nothing");
  }
  return {};
}

platform::Result<void> pressToolbarItem(ZUVBrowserController& browser, const std::string& label) {
  auto toolbar = browser.toolbar();
  if (!toolbar) return refused("the browser has no toolbar");
  const auto& items = toolbar->items();
  auto frames = toolbar->itemFrames();
  for (std::size_t i = 0; i < items.size() && i < frames.size(); ++i) {
    if (items[i]->accessibilityLabel() != label) continue;
    if (!items[i]->isEnabled()) return refused("the browser's " + label + " button is disabled");
    platform::Point corner = toolbar->convertPointToWindow(frames[i].origin);
    return touchCentre(
        platform::Rect(corner.x, corner.y, frames[i].size.width, frames[i].size.height),
        "the browser's " + label + " button");
  }
  return refused("the browser shows no " + label + " button now");
}

}  // namespace

std::string FullScreens::geometry(const platform::Rect& r) {
  std::ostringstream out;
  out << r.origin.x << "," << r.origin.y << " " << r.size.width << "x" << r.size.height;
  return out.str();
}

platform::Result<void> FullScreens::printText(std::ostream& out) {
  auto web = frontWebView();
  if (!web) return web.error();
  std::istringstream text((*web)->pageText());
  std::size_t printed = 0, more = 0;
  for (std::string line; std::getline(text, line);) {
    std::string_view shown = platform::text::trimmed(line, " \t\r");
    if (shown.empty()) continue;
    if (printed == kMaxTextLines) {
      ++more;
      continue;
    }
    out << "text: " << singleLine(shown) << "\n";
    ++printed;
  }
  if (more > 0) out << "text: (" << more << " more lines)\n";
  if (printed == 0) out << "text: (none)\n";
  return {};
}

std::shared_ptr<ViewController> FullScreens::front() {
  auto window = platform::Window::keyWindow();
  if (!window) return nullptr;
  auto top = window->topViewController();
  return top == window->rootViewController() ? nullptr : top;
}

bool FullScreens::isLoading() {
  auto window = platform::Window::keyWindow();
  if (!window || !window->rootViewController()) return false;
  for (auto shown = window->rootViewController()->modalViewController(); shown;
       shown = shown->modalViewController()) {
    if (auto web = pageOf(shown); web && web->isLoading()) return true;
  }
  return false;
}

void FullScreens::awaitTapEffect(platform::Duration budget) {
  auto app = platform::Application::shared();
  auto state = [&app] {
    return std::tuple(front(), isLoading(), app->openedURLs().size(), app->sentMail().size());
  };
  const auto before = state();
  platform::RunLoop& loop = platform::RunLoop::main();
  const platform::HostInstant end = loop.hostNow() + budget;
  platform::Harness::runUntilHostTime([&] { return state() != before; }, end);
}

void FullScreens::print(std::ostream& out, std::vector<ZUVMraidController*> ads) {
  for (const auto& banner : Banners::all()) {
    if (auto* mraid = ZUVBannerController(*banner)->mraid()) ads.push_back(mraid);
  }
  auto app = platform::Application::shared();
  out << "status bar: " << (app->isStatusBarHidden() ? "hidden" : "shown") << "\n";
  auto window = platform::Window::keyWindow();
  if (!window || !window->rootViewController()) return;
  auto covered = window->rootViewController();
  for (auto shown = covered->modalViewController(); shown;
       covered = shown, shown = shown->modalViewController()) {
    out << "full screen: " << shown->className() << " over " << coveredName(covered) << "\n";
    if (auto browser = std::dynamic_pointer_cast<ZUVBrowserController>(shown)) {
      printBrowser(out, *browser);
    } else if (auto webApp = std::dynamic_pointer_cast<ZUVWebAppViewController>(shown)) {
      printWebApp(out, *webApp);
    } else if (auto mail = std::dynamic_pointer_cast<platform::MailComposeViewController>(shown)) {
      printMail(out, *mail);
    } else if (auto player = std::dynamic_pointer_cast<ZUVVastPlayer>(shown)) {
      printVideo(out, *player);
    } else if (auto* presenter = mraidAdInFront(shown)) {
      if (auto web = presenter->adView()) printPage(out, *web);
      printMraidAd(out, *presenter, "  ", ads);
    }
  }
  for (auto* presenter : ZUVMraidPresenter::showing()) {
    if (presenter->presentation() == ZUVMraidPresentation::Resized) {
      printMraidAd(out, *presenter, "", ads);
    }
  }
}

platform::Result<void> FullScreens::tapText(const std::string& text) {
  if (auto player = std::dynamic_pointer_cast<ZUVVastPlayer>(front())) {
    if (player->tapControl(text)) return {};
    return refused("the video shows no control \"" + text + "\" (it shows " +
                   joined(player->visibleControls()) + ")");
  }
  auto web = frontWebView();
  if (!web) return web.error();
  if (!(*web)->tapLink(text)) {
    return refused("no link or button \"" + text + "\" on the page in front");
  }
  return {};
}

platform::Result<void> FullScreens::pressControl(const std::string& command) {
  auto shown = front();
  if (auto browser = std::dynamic_pointer_cast<ZUVBrowserController>(shown)) {
    static const std::map<std::string, std::string> labels = {{"done", "Done"},
                                                              {"back", "Back"},
                                                              {"forward", "Forward"},
                                                              {"reload", "Reload"},
                                                              {"open-outside", "View in Safari"}};
    auto label = labels.find(command);
    if (label == labels.end()) {
      return refused("the browser has no " + command + " button (try done)");
    }
    return pressToolbarItem(*browser, label->second);
  }
  if (auto webApp = std::dynamic_pointer_cast<ZUVWebAppViewController>(shown)) {
    auto button = webApp->vars().closeButton;
    if (command != "close" || !button || button->isHidden()) {
      return refused("the web application has no " + command + " button (try close)");
    }
    return touchCentre(button->frameInWindow(), "the close button");
  }
  if (auto player = std::dynamic_pointer_cast<ZUVVastPlayer>(shown); player && command == "close") {
    if (!player->tapControl(ZUVVastPlayer::kClose)) {
      return refused("the video cannot be closed yet (it shows " +
                     joined(player->visibleControls()) + ")");
    }
    return {};
  }
  if (auto* presenter = mraidAdInFront(shown); presenter && command == "close") {
    if (!presenter->tapCloseControl()) return refused("the ad's close control cannot be tapped");
    return {};
  }
  if (shown) {
    return refused("the " + shown->className() + " in front has no " + command + " button");
  }
  return refused("no browser, web application or expanded ad on the screen for " + command);
}

platform::Result<void> FullScreens::finishMail(const std::string& how) {
  platform::MailComposeResult result;
  if (how == "send") {
    result = platform::MailComposeResult::Sent;
  } else if (how == "cancel") {
    result = platform::MailComposeResult::Cancelled;
  } else {
    return refused("mail takes send or cancel, not \"" + how + "\"");
  }
  auto mail = std::dynamic_pointer_cast<platform::MailComposeViewController>(front());
  if (!mail) return refused("no mail composer on the screen");
  if (!mail->finish(result)) return refused("the mail composer is already finished");
  return {};
}

}  // namespace velour
