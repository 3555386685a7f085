#include "ads/mraid/ZUVMraidController.h"

#include <algorithm>
#include <array>

#include "ads/mraid/ZUVMraidScript.h"
#include "ads/mraid/ZUVMraidWebViewDelegate.h"
#include "ads/support/ZUVPrivacy.h"
#include "ads/web/ZUVWebViewDelegate.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Exposure.h"
#include "vozave/Version.h"

namespace {

using platform::Array;
using platform::Dictionary;
using platform::Rect;
using platform::Value;

constexpr double kMinimumResize = 50;
// How far past the max-size area a resized ad may reach with allowOffscreen: its size again.
// A page's view costs the engine memory by its size.
constexpr double kOffscreenFactor = 2;

constexpr std::array<std::pair<std::string_view, ZUVMraidClosePosition>, 7> kClosePositions = {{
    {"top-left", ZUVMraidClosePosition::TopLeft},
    {"top-right", ZUVMraidClosePosition::TopRight},
    {"center", ZUVMraidClosePosition::Center},
    {"bottom-left", ZUVMraidClosePosition::BottomLeft},
    {"bottom-right", ZUVMraidClosePosition::BottomRight},
    {"top-center", ZUVMraidClosePosition::TopCenter},
    {"bottom-center", ZUVMraidClosePosition::BottomCenter},
}};

// The close position that the page named; top-right when it named none, nothing for a name
// that is not one.
std::optional<ZUVMraidClosePosition> closePositionNamed(const std::string* name) {
  if (!name) return ZUVMraidClosePosition::TopRight;
  for (const auto& [known, position] : kClosePositions) {
    if (known == *name) return position;
  }
  return std::nullopt;
}

Dictionary rectValue(const Rect& rect) {
  return {{"x", rect.minX()},
          {"y", rect.minY()},
          {"width", rect.size.width},
          {"height", rect.size.height}};
}

Dictionary sizeValue(const platform::Size& size) {
  return {{"width", size.width}, {"height", size.height}};
}

bool inside(const Rect& inner, const Rect& outer) {
  return inner.minX() >= outer.minX() && inner.minY() >= outer.minY() &&
         inner.maxX() <= outer.maxX() && inner.maxY() <= outer.maxY();
}

// Schemes that the bridge's open() may not hand to the click path: the client's own messages
// and pages of the phone itself.
bool isOpenableScheme(const platform::URL& url) {
  const std::string& scheme = url.scheme();
  return scheme != "gmsg" && scheme != "vodov" && scheme != "about" && scheme != "file" &&
         !ZUVMraidMessage::isMessageURL(url);
}

}  // namespace

ZUVMraidController::ZUVMraidController(std::shared_ptr<platform::WebView> adView,
                                       ZUVMraidPlacement placement, Host host)
    : adView_(std::move(adView)), placement_(placement), host_(std::move(host)) {
  presenter_.setViewController(host_.viewController);
  presenter_.setDelegateManager(host_.events);
  presenter_.setGeometryChangedHandler(weak_.bind([](ZUVMraidController& self) {
    if (!self.engaged_) return;
    platform::Array events;
    self.noteSizeChange(events);
    self.announce(std::move(events));
  }));
  // Made before the ad's page loads: its document starts with the bridge of its placement.
  prepareWebView(*adView_, Part::First, placement_);
  adView_->setLocalAnswerHandler(
      weak_.bind([](ZUVMraidController& self, const std::string&) { self.engage(); }));
}

// The presenter gives the screen back as it goes; the second part goes after it.
ZUVMraidController::~ZUVMraidController() {
  presenter_.restore();
}

void ZUVMraidController::prepareWebView(platform::WebView& view, Part part,
                                        ZUVMraidPlacement placement) {
  view.setDocumentStartScript(ZUVMraidScript::documentStart(
      part == Part::First ? std::optional<Dictionary>(environment()) : std::nullopt,
      part == Part::First && placement == ZUVMraidPlacement::Interstitial));
  view.answerRequestsForFileName("mraid.js", "text/javascript",
                                 std::string(ZUVMraidScript::kMraidJSAnswer));
}

Dictionary ZUVMraidController::environment() {
  const ZUVPrivacySignals privacy = ZUVPrivacy::shared().current();
  return {{"version", kVersion},
          {"sdk", kSDKName},
          {"sdkVersion", VOZAVE_VERSION_STRING},
          {"appId", platform::Bundle::main().bundleIdentifier()},
          {"coppa", privacy.childDirected.value_or(false)},
          {"limitAdTracking", privacy.limitAdTracking.value_or(false)}};
}

std::string_view ZUVMraidController::stateName(ZUVMraidState state) {
  switch (state) {
    case ZUVMraidState::Loading:
      return "loading";
    case ZUVMraidState::Default:
      return "default";
    case ZUVMraidState::Expanded:
      return "expanded";
    case ZUVMraidState::Resized:
      return "resized";
    case ZUVMraidState::Hidden:
      return "hidden";
  }
  return "loading";
}

bool ZUVMraidController::receiveMessage(platform::WebView& view, const platform::URL& url) {
  if (!ZUVMraidMessage::isMessageURL(url)) return false;
  engage();
  auto message = ZUVMraidMessage::read(url.absoluteString());
  if (!message) {
    platform::log("<Vozave> Dropped an MRAID message: " + message.error().localizedDescription());
    return true;
  }
  switch (message->call()) {
    case ZUVMraidMessage::Call::Engage:
      break;
    case ZUVMraidMessage::Call::Open:
      open(view, *message);
      break;
    case ZUVMraidMessage::Call::Close:
      close();
      break;
    case ZUVMraidMessage::Call::Unload:
      unload();
      break;
    case ZUVMraidMessage::Call::Expand:
      expand(view, url, *message);
      break;
    case ZUVMraidMessage::Call::Resize:
      resize(*message);
      break;
    case ZUVMraidMessage::Call::SetOrientationProperties:
      setOrientationProperties(*message);
      break;
    case ZUVMraidMessage::Call::PlayVideo:
      playVideo(view, *message);
      break;
  }
  return true;
}

void ZUVMraidController::adPageDidLoad(platform::WebView& view) {
  if (&view == secondPart_.get()) {
    send(view, Array{Value(Array{"ready"})});
    return;
  }
  if (&view != adView_.get() || state_ != ZUVMraidState::Loading) return;
  state_ = ZUVMraidState::Default;
  if (engaged_) announceReady();
}

// A page is an MRAID ad once it asks for mraid.js or touches mraid or MRAID_ENV (the bridge
// says so). Until then it hears nothing and its exposure is not followed, so that other ad
// pages cost the engine nothing.
void ZUVMraidController::engage() {
  if (engaged_) return;
  engaged_ = true;
  exposureObserver_ = platform::observeExposureChanges(
      weak_.bind([](ZUVMraidController& self) { self.exposureChanged(); }));
  if (state_ == ZUVMraidState::Default) announceReady();
}

// The exposure is read first, so that the page's `ready` listener finds isViewable() already
// true for an ad on the screen.
void ZUVMraidController::announceReady() {
  Array exposureEvents;
  noteExposure(exposureEvents);
  Array events{Array{"stateChange", "default"}, Array{"ready"}};
  noteSizeChange(events);
  events.insert(events.end(), exposureEvents.begin(), exposureEvents.end());
  announce(std::move(events));
}

bool ZUVMraidController::presentInterstitial() {
  if (placement_ != ZUVMraidPlacement::Interstitial || state_ == ZUVMraidState::Hidden) {
    return false;
  }
  presenter_.forceOrientation(forcedOrientation_, allowOrientationChange_);
  return presenter_.presentInterstitial(adView_,
                                        weak_.bind([](ZUVMraidController& self) { self.close(); }));
}

std::shared_ptr<platform::ViewController> ZUVMraidController::frontController() const {
  return presenter_.frontController();
}

void ZUVMraidController::open(platform::WebView& view, const ZUVMraidMessage& message) {
  const std::string* text = message.text("url");
  std::optional<platform::URL> url = text ? platform::URL::parse(*text) : std::nullopt;
  if (!url || !isOpenableScheme(*url)) {
    error("open takes a web or application URL", "open");
    return;
  }
  if (!host_.open || !host_.open(view, *url, frontController())) {
    error("open is allowed only on the user's tap", "open");
  }
}

void ZUVMraidController::clickThrough(platform::WebView& view, const platform::URL& url) {
  if (host_.open) host_.open(view, url, frontController());
}

// An ad may take the screen once by itself; after that, and once the user has closed it, only
// on a tap: an ad that expands again at every close would never let the user go. After a close
// the tap must be a new one, which the bridge says: the engine lends a tap's activation to the
// page for seconds, the tap before the close included.
void ZUVMraidController::expand(platform::WebView& from, const platform::URL& messageURL,
                                const ZUVMraidMessage& message) {
  if (placement_ == ZUVMraidPlacement::Interstitial) return;
  if (state_ != ZUVMraidState::Default && state_ != ZUVMraidState::Resized) return;
  const bool tapped = ZUVUserActivationGate::isTap(from) &&
                      (!closed_ || message.boolean("tappedSinceClose") == true);
  if (!tapped && !mayExpandUntapped_) {
    if (host_.gate) host_.gate->refuse("expanding", messageURL, "again without a tap");
    error("expand is allowed again only on the user's tap", "expand");
    return;
  }
  auto onClose = weak_.bind([](ZUVMraidController& self) { self.close(); });
  std::shared_ptr<platform::WebView> view = adView_;
  if (const std::string* text = message.text("url")) {
    // A relative URL is the ad page's own.
    std::optional<platform::URL> url = platform::URL::parse(*text, adView_->request().url());
    if (!url || !url->isHTTPOrHTTPS()) {
      error("expand takes an http or https URL", "expand");
      return;
    }
    view = platform::WebView::create(adView_->frame());
    secondPartDelegate_ = std::make_shared<ZUVMraidWebViewDelegate>(weak_.weak(), host_.gate);
    view->setDelegate(secondPartDelegate_);
    // Whoever hears the ad's console hears both parts, from the second's first line on.
    view->setConsoleHandler(adView_->consoleHandler());
    prepareWebView(*view, Part::Second);
    view->loadRequest(platform::WebRequest(*url));
  }
  presenter_.forceOrientation(forcedOrientation_, allowOrientationChange_);
  if (!presenter_.expand(view, std::move(onClose))) {
    if (view != adView_) view->closePage();
    platform::RunLoop::main().releaseLater(std::move(secondPartDelegate_));
    error("The ad cannot take the screen now", "expand");
    return;
  }
  if (view != adView_) secondPart_ = std::move(view);
  if (!tapped) mayExpandUntapped_ = false;
  changeState(ZUVMraidState::Expanded);
}

void ZUVMraidController::resize(const ZUVMraidMessage& message) {
  if (placement_ == ZUVMraidPlacement::Interstitial) return;
  if (state_ == ZUVMraidState::Expanded) {
    error("An expanded ad cannot be resized", "resize");
    return;
  }
  if (state_ != ZUVMraidState::Default && state_ != ZUVMraidState::Resized) return;
  auto width = message.number("width"), height = message.number("height");
  auto offsetX = message.number("offsetX"), offsetY = message.number("offsetY");
  if (!width || !height || !offsetX || !offsetY) {
    error("Set valid resize properties before resizing", "resize");
    return;
  }
  if (*width < kMinimumResize || *height < kMinimumResize) {
    error("The size must be at least 50x50", "resize");
    return;
  }
  const auto named = closePositionNamed(message.text("customClosePosition"));
  const std::optional<bool> allowOffscreen =
      message.text("allowOffscreen") ? message.boolean("allowOffscreen") : true;
  if (!named || !allowOffscreen) {
    error("Unknown customClosePosition or allowOffscreen", "resize");
    return;
  }
  const ZUVMraidClosePosition closePosition = *named;
  const Rect area(0, 0, presenter_.maxSize().width, presenter_.maxSize().height);
  const Rect home = presenter_.defaultPosition(*adView_);
  Rect frame(home.minX() + *offsetX, home.minY() + *offsetY, *width, *height);
  if (*width > kOffscreenFactor * area.size.width ||
      *height > kOffscreenFactor * area.size.height) {
    error("The size is too far past the max size", "resize");
    return;
  }
  if (!*allowOffscreen) {
    if (*width > area.size.width || *height > area.size.height) {
      error("The resized ad does not fit on the screen", "resize");
      return;
    }
    frame.origin.x = std::clamp(frame.minX(), 0.0, area.size.width - *width);
    frame.origin.y = std::clamp(frame.minY(), 0.0, area.size.height - *height);
  }
  if (!inside(ZUVMraidPresenter::closeRegion(closePosition, frame), area)) {
    error("The close region would be off the screen", "resize");
    return;
  }
  if (!presenter_.resize(adView_, frame, closePosition,
                         weak_.bind([](ZUVMraidController& self) { self.close(); }))) {
    error("The ad cannot be resized now", "resize");
    return;
  }
  changeState(ZUVMraidState::Resized);
}

void ZUVMraidController::close() {
  switch (state_) {
    case ZUVMraidState::Loading:
    case ZUVMraidState::Hidden:
      return;
    case ZUVMraidState::Default:
      if (placement_ == ZUVMraidPlacement::Interstitial) hide();
      return;
    case ZUVMraidState::Expanded:
    case ZUVMraidState::Resized:
      presenter_.restore();
      dropSecondPart();
      mayExpandUntapped_ = false;
      closed_ = true;
      changeState(ZUVMraidState::Default);
      return;
  }
}

void ZUVMraidController::hide() {
  presenter_.restore();
  changeState(ZUVMraidState::Hidden);
}

void ZUVMraidController::unload() {
  platform::log("<Vozave> The MRAID ad unloaded itself");
  if (placement_ == ZUVMraidPlacement::Interstitial) {
    if (state_ != ZUVMraidState::Hidden) hide();
    return;
  }
  presenter_.restore();
  dropSecondPart();
  state_ = ZUVMraidState::Hidden;
  tellAway();
  // The owner may end this container: it hears on the next pass, outside the page's message.
  platform::RunLoop::main().post(weak_.bind([](ZUVMraidController& self) {
    // A copy: the owner's answer may destroy this container and its host.
    if (auto unload = self.host_.unload) unload();
  }));
}

void ZUVMraidController::setOrientationProperties(const ZUVMraidMessage& message) {
  std::optional<bool> allow = message.boolean("allowOrientationChange");
  const std::string* force = message.text("forceOrientation");
  std::optional<ZUVMraidForcedOrientation> forced;
  if (force && *force == "none") forced = ZUVMraidForcedOrientation::None;
  if (force && *force == "portrait") forced = ZUVMraidForcedOrientation::Portrait;
  if (force && *force == "landscape") forced = ZUVMraidForcedOrientation::Landscape;
  if (!allow || !forced) {
    error("Bad orientation properties", "setOrientationProperties");
    return;
  }
  forcedOrientation_ = *forced;
  allowOrientationChange_ = *allow;
  presenter_.forceOrientation(forcedOrientation_, allowOrientationChange_);
  Array events;
  noteSizeChange(events);
  announce(std::move(events));
}

void ZUVMraidController::playVideo(platform::WebView& view, const ZUVMraidMessage& message) {
  const std::string* text = message.text("url");
  std::optional<platform::URL> url = text ? platform::URL::parse(*text) : std::nullopt;
  if (!url || !url->isHTTPOrHTTPS()) {
    error("playVideo takes an http or https URL", "playVideo");
    return;
  }
  if (!host_.gate || !host_.gate->allows(view, "playing a video", *url)) {
    error("playVideo is allowed only on the user's tap", "playVideo");
    return;
  }
  // The headless phone has no player: the video counts as opened.
  platform::log("<Vozave> Opened the video " +
                ZUVWebViewDelegate::pageLogLine(url->absoluteString()));
}

void ZUVMraidController::changeState(ZUVMraidState state) {
  state_ = state;
  tellAway();
  Array events{Value(Array{"stateChange", std::string(stateName(state))})};
  noteSizeChange(events);
  announce(std::move(events));
}

void ZUVMraidController::tellAway() {
  if (host_.awayChanged) {
    host_.awayChanged(state_ == ZUVMraidState::Expanded || state_ == ZUVMraidState::Resized);
  }
}

// The second part may be the view whose message closes it: both go at the end of the pass.
void ZUVMraidController::dropSecondPart() {
  if (secondPart_) secondPart_->closePage();
  platform::RunLoop::main().releaseLater(std::move(secondPart_));
  platform::RunLoop::main().releaseLater(std::move(secondPartDelegate_));
}

// Logged as well, so that an ad's author sees which calls failed without listening in the page.
void ZUVMraidController::error(std::string_view message, std::string_view action) {
  platform::log("<Vozave> MRAID " + std::string(action) + " failed: " + std::string(message));
  announce(Array{Value(Array{"error", message, action})});
}

void ZUVMraidController::announce(Array events) {
  if (!engaged_) return;
  send(*adView_, events);
  if (secondPart_) send(*secondPart_, events);
}

void ZUVMraidController::send(platform::WebView& view, const Array& events) {
  Dictionary change = currentValues();
  change.set("events", events);
  if (std::optional<std::string> script = ZUVMraidScript::update(change)) {
    view.runJavaScript(*script);
  } else {
    platform::log("<Vozave> An MRAID update had no JSON form and was not sent");
  }
}

void ZUVMraidController::noteSizeChange(Array& events) {
  const platform::Size size = presenter_.currentPosition(shownView()).size;
  if (toldSize_ && *toldSize_ == size) return;
  toldSize_ = size;
  if (state_ != ZUVMraidState::Loading)
    events.push_back(Array{"sizeChange", size.width, size.height});
}

void ZUVMraidController::exposureChanged() {
  if (state_ == ZUVMraidState::Loading) return;
  Array events;
  noteExposure(events);
  noteSizeChange(events);
  if (!events.empty()) announce(std::move(events));
}

void ZUVMraidController::noteExposure(Array& events) {
  const platform::Exposure exposure = platform::exposureOf(shownView());
  // [percent, visible rectangle or null, occluding rectangles or null]
  Array told{exposure.percent, nullptr, nullptr};
  if (exposure.visible) told[1] = rectValue(*exposure.visible);
  if (!exposure.occlusions.empty()) {
    Array occlusions(exposure.occlusions.size());
    for (std::size_t i = 0; i < occlusions.size(); ++i) {
      occlusions[i] = rectValue(exposure.occlusions[i]);
    }
    told[2] = std::move(occlusions);
  }
  if (!toldExposure_ || *toldExposure_ != told) {
    Array event{"exposureChange"};
    event.insert(event.end(), told.begin(), told.end());
    events.push_back(std::move(event));
    toldExposure_ = std::move(told);
  }
  const bool viewable = exposure.percent > 0;
  if (viewable != toldViewable_) {
    toldViewable_ = viewable;
    events.push_back(Array{"viewableChange", viewable});
  }
}

Dictionary ZUVMraidController::currentValues() const {
  auto application = platform::Application::shared();
  const bool landscape = platform::isLandscape(application->statusBarOrientation());
  const bool screenUp = presenter_.presentation() == ZUVMraidPresentation::Expanded ||
                        presenter_.presentation() == ZUVMraidPresentation::Interstitial;
  const bool locked = screenUp && (forcedOrientation_ != ZUVMraidForcedOrientation::None ||
                                   !allowOrientationChange_);
  Dictionary values{
      {"state", std::string(stateName(state_))},
      {"placementType", placement_ == ZUVMraidPlacement::Inline ? "inline" : "interstitial"},
      {"viewable", toldViewable_},
      {"currentPosition", rectValue(presenter_.currentPosition(shownView()))},
      {"defaultPosition", rectValue(presenter_.defaultPosition(*adView_))},
      {"maxSize", sizeValue(presenter_.maxSize())},
      {"screenSize", sizeValue(presenter_.screenSize())},
      {"appOrientation",
       Dictionary{{"orientation", landscape ? "landscape" : "portrait"}, {"locked", locked}}},
      {"supports", Dictionary{{"sms", false},
                              {"tel", false},
                              {"calendar", false},
                              {"storePicture", false},
                              {"inlineVideo", false},
                              {"location", !locationValue().isNull()},
                              {"vpaid", false}}},
      {"location", locationValue()},
  };
  if (toldExposure_) {
    const Array& told = *toldExposure_;
    values.set("exposure",
               Dictionary{{"percent", told[0]}, {"visible", told[1]}, {"occlusions", told[2]}});
  }
  return values;
}

platform::Value ZUVMraidController::locationValue() const {
  if (!host_.location || !host_.location->isPreciseLocation()) return Value();
  const ZUVLocation& location = *host_.location;
  const double age =
      platform::RunLoop::main().currentDate().secondsSince1970 - location.timestamp();
  // Type 3: given by the user (the application), not measured by the phone.
  return Dictionary{{"lat", static_cast<double>(location.latitude())},
                    {"lon", static_cast<double>(location.longitude())},
                    {"type", 3},
                    {"accuracy", static_cast<double>(location.accuracy())},
                    {"lastfix", std::max(0.0, age)},
                    {"ipservice", ""}};
}

platform::WebView& ZUVMraidController::shownView() const {
  return secondPart_ ? *secondPart_ : *adView_;
}
