#include "tools/vozave/CheckWalk.h"

#include <cstdio>
#include <iostream>
#include <mutex>
#include <sstream>

#include "ads/core/ZUVObjectPrivate.h"
#include "ads/mraid/ZUVMraidController.h"
#include "app/BannerPlacement.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"
#include "platform/harness/Harness.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "platform/web/Browser.h"
#include "platform/web/WebView.h"
#include "tools/velour/Console.h"
#include "tools/velour/FullScreens.h"
#include "tools/velour/Snapshot.h"

namespace vozave {

namespace {

// Real time that a load may take, redirects and the page's own resources included.
constexpr platform::Duration kLoadBudget = platform::seconds(30);
// Real time for an MRAID ad to become ready once its page has loaded.
constexpr platform::Duration kReadyBudget = platform::seconds(10);
// Real time for the page to answer a tap, and for a screen to settle after a change.
constexpr platform::Duration kTapBudget = platform::seconds(3);
constexpr platform::Duration kSettle = platform::seconds(1);
// Past these the page is heavy or busy, well inside the runaway limits that unload it.
constexpr std::int64_t kHeavyPageBytes = std::int64_t{1} << 20;
constexpr double kBusyPageSeconds = 5;

void hold(platform::Duration time) {
  auto& loop = platform::RunLoop::main();
  platform::Harness::runUntilHostTime([] { return false; }, loop.hostNow() + time);
}

bool waitFor(const std::function<bool()>& done, platform::Duration budget) {
  auto& loop = platform::RunLoop::main();
  return platform::Harness::runUntilHostTime(done, loop.hostNow() + budget);
}

bool hostMatches(const std::string& host, const std::string& listed) {
  return host == listed || (host.size() > listed.size() && host.ends_with(listed) &&
                            host[host.size() - listed.size() - 1] == '.');
}

std::string stateName(ZUVMraidController* mraid) {
  return mraid ? std::string(ZUVMraidController::stateName(mraid->state())) : "no MRAID";
}

bool isAway(ZUVMraidController* mraid) {
  return mraid &&
         (mraid->state() == ZUVMraidState::Expanded || mraid->state() == ZUVMraidState::Resized);
}

// The bare screen that the ad is shown on turns with the phone, as an application that
// takes every orientation does.
class TurningController : public platform::ViewController {
 public:
  bool shouldAutorotateToInterfaceOrientation(platform::InterfaceOrientation) override {
    return true;
  }
};

}  // namespace

// What the ad pages requested. Every ad web view made during the walk asks it about each of its
// requests, and may do so after the walk has gone: it is shared with their filters.
struct CheckWalk::Traffic {
  WalkOptions options;
  std::string step;
  std::map<std::string, std::size_t> byHost;
  std::vector<Finding> findings;

  bool allow(const std::string& text) {
    auto url = platform::URL::parse(text);
    if (!url || (url->scheme() != "http" && url->scheme() != "https")) return true;
    ++byHost[url->host()];
    for (const std::string& blocked : options.blockedHosts) {
      if (hostMatches(url->host(), blocked)) {
        findings.push_back({"blocked-request", step, text});
        return false;
      }
    }
    bool own = false;
    for (const std::string& host : options.ownHosts) own = own || url->host() == host;
    if (options.offline && !own) {
      findings.push_back({"offline-request", step, text});
      return false;
    }
    if (url->scheme() == "http" && !own) findings.push_back({"insecure-request", step, text});
    return true;
  }
};

CheckWalk::CheckWalk(WalkOptions options, CheckReport& report, std::ostream& out)
    : options_(std::move(options)),
      report_(report),
      out_(out),
      traffic_(std::make_shared<Traffic>()) {
  traffic_->options = options_;
  traffic_->step = step_;
  previousSink_ = platform::setLogSink([this](const std::string& line) { keepLogLine(line); });
  std::weak_ptr<Traffic> traffic = traffic_;
  ZUVObjectPrivate::setWebViewMaker([traffic](const platform::Rect& frame) {
    auto view = platform::WebView::create(frame);
    if (auto shared = traffic.lock()) {
      view->setRequestFilter([shared](const std::string& url) { return shared->allow(url); });
    }
    return view;
  });
}

CheckWalk::~CheckWalk() {
  ZUVObjectPrivate::setWebViewMaker({});
  platform::setLogSink(previousSink_);
}

void CheckWalk::keepLogLine(const std::string& line) {
  std::lock_guard lock(logMutex_);
  if (keptLines_.size() < kMaxKeptLines) keptLines_.push_back(line);
}

void CheckWalk::takeLogLines() {
  static const std::pair<const char*, const char*> kinds[] = {
      {"<Vozave> Refused ", "left-without-tap"},
      {"<Vozave> Unloaded an ad page past its limit", "runaway"},
      {"<Vozave> MRAID ", "mraid-error"},
      {"web console: warning: MRAID ", "mraid-error"},
      {"web console: error: ", "console-error"},
  };
  std::vector<std::string> lines;
  {
    std::lock_guard lock(logMutex_);
    lines.swap(keptLines_);
  }
  for (const std::string& line : lines) {
    for (const auto& [prefix, kind] : kinds) {
      if (line.starts_with(prefix)) report_.add(kind, step_, line);
    }
    if (options_.showLog) std::cerr << platform::text::singleLine(line) << "\n";
  }
}

void CheckWalk::endStep(const std::string& outcome) {
  takeLogLines();
  // Requests are counted as they go; their findings join the report at each step's end.
  for (Finding& finding : traffic_->findings) {
    report_.add(finding.kind, finding.step, finding.evidence);
  }
  traffic_->findings.clear();
  CheckStep done{step_, outcome, ""};
  if (!options_.picturesFolder.empty()) {
    char name[16];
    std::snprintf(name, sizeof name, "%02zu-", report_.steps.size() + 1);
    std::string path = options_.picturesFolder + "/" + name + step_ + ".png";
    if (auto written = velour::writeSnapshot(path); written) {
      done.picture = path;
    } else {
      out_ << "check: no picture: " << written.error().localizedDescription() << "\n";
    }
  }
  out_ << "check: " << step_ << ": " << outcome << std::endl;
  report_.steps.push_back(std::move(done));
}

std::shared_ptr<platform::WebView> CheckWalk::adPage() {
  if (banner_) return ZUVBannerController(*banner_)->webView();
  auto* interstitial = phone_.interstitial().showing();
  return interstitial ? interstitial->webView() : nullptr;
}

ZUVMraidController* CheckWalk::mraid() {
  if (banner_) return ZUVBannerController(*banner_)->mraid();
  return phone_.interstitial().mraid();
}

void CheckWalk::run() {
  platform::Application::shared()->finishLaunching();
  root_ = std::make_shared<TurningController>();
  window_ = platform::Window::create();
  window_->setRootViewController(root_);
  window_->makeKeyAndVisible();
  warmUp();
  const bool loaded = load();
  if (loaded && !options_.script.empty()) {
    awaitReady();
    runScript();
  } else if (loaded) {
    awaitReady();
    quiet();
    tap();
    closeWhatOpened();
    rotate();
    background();
  }
  measure();
  unload();
}

// The engine starts before the ad is asked for, so that its start does not count against the
// ad's own time-outs.
void CheckWalk::warmUp() {
  auto page = platform::WebView::create(platform::Rect(0, 0, 1, 1));
  page->loadHTMLStringBaseURL("<!DOCTYPE html><p>", std::nullopt);
  waitFor([&] { return !page->isLoading(); },
          platform::Browser::kStartBudget + platform::seconds(10));
  page->closePage();
}

bool CheckWalk::load() {
  if (options_.interstitial) {
    if (auto started = phone_.interstitial().load(kVelourAdUnitID); !started) {
      failure_ = started.error().localizedDescription();
    }
    waitFor(
        [this] {
          std::ostringstream line;
          phone_.interstitial().print(line);
          if (line.str().starts_with("interstitial: failed") ||
              line.str().starts_with("interstitial: refused")) {
            failure_ = line.str();
          }
          return phone_.interstitial().showing() || !failure_.empty();
        },
        kLoadBudget);
    received_ = phone_.interstitial().showing() != nullptr;
  } else {
    loadBanner();
    if (!received_ && options_.creativeServed && !options_.creativeServed()) {
      out_ << "check: load: the phone failed before the ad was served (" << failure_
           << "); once more" << std::endl;
      banner_->removeFromSuperview();
      platform::RunLoop::main().releaseLater(std::move(banner_));
      failure_.clear();
      loadBanner();
    }
  }
  if (!received_) {
    std::string why = failure_.empty() ? "no ad within the load time" : failure_;
    report_.add("load-failed", step_, why);
    endStep("failed: " + platform::text::singleLine(why));
    return false;
  }
  auto page = adPage();
  endStep("loaded " + (page ? page->request().url().absoluteString() : std::string("(no page)")));
  return true;
}

void CheckWalk::loadBanner() {
  platform::Rect area = platform::Screen::applicationFrame();
  platform::Rect frame((area.size.width - options_.width) / 2,
                       (area.size.height - options_.height) / 2, options_.width, options_.height);
  banner_ = ZUVBannerView::create(frame);
  // It stays in the middle when the screen turns, as an application's placement would.
  banner_->setAutoresizingMask(
      platform::kAutoresizingFlexibleLeftMargin | platform::kAutoresizingFlexibleRightMargin |
      platform::kAutoresizingFlexibleTopMargin | platform::kAutoresizingFlexibleBottomMargin);
  banner_->setAdUnitID(kVelourAdUnitID);
  banner_->setRootViewController(root_);
  root_->view()->addSubview(banner_);
  events_ = std::make_shared<ZUVBannerViewDelegate>();
  events_->adViewDidReceiveAd = [this](platform::View&) { received_ = true; };
  events_->adViewDidFailToReceiveAdWithError = [this](platform::View&,
                                                      const platform::Error& error) {
    if (!received_)
      failure_ = "error " + std::to_string(error.code) + ": " + error.localizedDescription();
  };
  banner_->setDelegate(events_);
  velour::logConsoleOf(*ZUVBannerController(*banner_)->webView());
  banner_->loadRequest(ZUVRequest::request());
  waitFor([this] { return received_ || !failure_.empty(); }, kLoadBudget);
}

void CheckWalk::awaitReady() {
  step_ = traffic_->step = "ready";
  ZUVMraidController* ad = mraid();
  if (!ad || !ad->engaged()) {
    endStep("loaded, not an MRAID ad");
    return;
  }
  if (!waitFor([this] { return mraid() && mraid()->state() != ZUVMraidState::Loading; },
               kReadyBudget)) {
    report_.add("not-ready", step_, "still loading after 10 s");
  }
  endStep("MRAID, " + stateName(mraid()));
}

void CheckWalk::quiet() {
  step_ = traffic_->step = "quiet";
  std::size_t before = report_.findings.size();
  hold(platform::seconds(options_.quietSeconds));
  takeLogLines();
  std::size_t refused = 0;
  for (std::size_t i = before; i < report_.findings.size(); ++i) {
    refused += report_.findings[i].kind == "left-without-tap";
  }
  endStep(std::to_string(refused) + " refused actions with no input");
}

void CheckWalk::tap() {
  step_ = traffic_->step = "tap";
  auto& app = *platform::Application::shared();
  const std::size_t opened = app.openedURLs().size();
  platform::Result<void> tapped = tapAd(std::nullopt);
  if (!tapped) {
    endStep("no tap: " + tapped.error().localizedDescription());
    return;
  }
  velour::FullScreens::awaitTapEffect(kTapBudget);
  std::string outcome = "tapped; MRAID state " + stateName(mraid());
  if (auto front = velour::FullScreens::front()) outcome += "; in front: " + front->className();
  for (std::size_t i = opened; i < app.openedURLs().size(); ++i) {
    outcome += "; opened " + app.openedURLs()[i];
  }
  endStep(outcome);
}

// A tap on the banner, or on the full-screen page; at its centre unless `at` says where.
platform::Result<void> CheckWalk::tapAd(std::optional<platform::Point> at) {
  if (banner_) return phone_.tapBanner(at);
  auto page = adPage();
  const platform::Size size = page ? page->bounds().size : platform::Size{};
  if (!page || !page->tapAt(at.value_or(platform::Point{size.width / 2, size.height / 2}))) {
    return platform::Error::make("VozaveCheck", 1, "the page could not be tapped");
  }
  return {};
}

// The screens that the tap opened go, front first; an expanded or resized ad is closed
// with its close control, unless its page closes it first.
void CheckWalk::closeWhatOpened() {
  ZUVMraidController* ad = mraid();
  const bool overlay = velour::FullScreens::front() &&
                       (!ad || velour::FullScreens::front() != ad->frontController());
  if (!overlay && !isAway(ad)) return;
  step_ = traffic_->step = "close";
  if (isAway(ad)) waitFor([this] { return !isAway(mraid()); }, kSettle);
  for (int attempt = 0; attempt < 4; ++attempt) {
    auto front = velour::FullScreens::front();
    ad = mraid();
    bool adScreen = front && ad && front == ad->frontController();
    if ((!front || (adScreen && options_.interstitial)) && !isAway(ad)) break;
    if (!velour::FullScreens::pressControl(adScreen || !front ? "close" : "done") &&
        !velour::FullScreens::pressControl("close")) {
      break;
    }
    hold(kSettle);
  }
  if (isAway(mraid())) report_.add("close-failed", step_, "still " + stateName(mraid()));
  endStep("closed; MRAID state " + stateName(mraid()));
}

void CheckWalk::rotate() {
  step_ = traffic_->step = "rotate";
  auto& app = *platform::Application::shared();
  (void)phone_.rotate("landscape");
  hold(kSettle);
  std::string turned = platform::describeOrientation(app.statusBarOrientation());
  endStep("turned to " + turned + "; MRAID state " + stateName(mraid()));
  (void)phone_.rotate("portrait");
  hold(kSettle);
}

void CheckWalk::background() {
  step_ = traffic_->step = "background";
  (void)phone_.enterBackground();
  hold(kSettle);
  (void)phone_.enterForeground();
  hold(kSettle);
  endStep("back in front; MRAID state " + stateName(mraid()));
}

void CheckWalk::runScript() {
  for (const ScriptCommand& command : options_.script) {
    step_ = traffic_->step = command.verb;
    std::string outcome = perform(command);
    endStep(outcome + "; MRAID state " + stateName(mraid()));
  }
}

std::string CheckWalk::perform(const ScriptCommand& command) {
  const std::string& verb = command.verb;
  platform::Result<void> done;
  if (verb == "wait") {
    hold(platform::seconds(command.seconds().value_or(0)));
    return "waited " + command.argument + " s";
  }
  if (verb == "tap") {
    std::string_view at = command.argument;
    if (at.starts_with("banner")) at = platform::text::trimmed(at.substr(6));
    std::optional<platform::Point> point;
    if (!at.empty()) point = platform::pointFromText(at);
    done = tapAd(point);
    if (done) velour::FullScreens::awaitTapEffect(kTapBudget);
  } else if (verb == "rotate") {
    done = phone_.rotate(command.argument);
  } else if (verb == "background") {
    done = phone_.enterBackground();
  } else if (verb == "foreground") {
    done = phone_.enterForeground();
  } else if (verb == "network") {
    done = phone_.setNetwork(command.argument);
  } else {
    done = velour::FullScreens::pressControl(verb);
  }
  if (!done) return "not done: " + done.error().localizedDescription();
  hold(kSettle);
  auto front = velour::FullScreens::front();
  return "done" + (front ? "; in front: " + front->className() : std::string());
}

// A page that replaces the console's error or warning functions hides its own errors from the
// check: the engine's own functions are the only ones whose text says they are native.
void CheckWalk::findHiddenConsole(platform::WebView& page) {
  const std::string replaced = page.stringByEvaluatingJavaScriptFromString(
      "['error', 'warn'].filter(function (name) { return !/\\[native code\\]/.test("
      "Function.prototype.toString.call(console[name])); }).join(' ')");
  if (!replaced.empty()) {
    report_.add("console-hidden", step_, "the page replaced console." + replaced);
  }
}

void CheckWalk::measure() {
  auto page = adPage();
  if (page && !page->isHidden()) findHiddenConsole(*page);
  const platform::PageResourceMonitor* monitor = page ? page->resourceMonitor() : nullptr;
  if (!monitor) return;
  report_.processorSeconds = platform::toSeconds(monitor->processorTime());
  report_.networkBytes = monitor->networkBytes();
  if (report_.processorSeconds > kBusyPageSeconds) {
    report_.add("busy-page", step_, std::to_string(report_.processorSeconds) + " s");
  }
  const std::int64_t total = report_.networkBytes + static_cast<std::int64_t>(report_.pageBytes);
  if (total > kHeavyPageBytes) {
    report_.add("heavy-page", step_, std::to_string(total) + " bytes");
  }
}

void CheckWalk::unload() {
  step_ = traffic_->step = "unload";
  if (banner_) {
    banner_->removeFromSuperview();
    platform::RunLoop::main().releaseLater(std::move(banner_));
  } else if (phone_.interstitial().showing()) {
    (void)velour::FullScreens::pressControl("close");
  }
  hold(kSettle);
  std::string outcome = "unloaded";
  if (ZUVMraidController* ad = mraid()) {
    if (ad->state() != ZUVMraidState::Hidden) {
      report_.add("close-failed", step_, "the close control left it " + stateName(ad));
    }
    outcome += "; MRAID state " + stateName(ad);
  }
  report_.requestsByHost = traffic_->byHost;
  endStep(outcome);
}

}  // namespace vozave
