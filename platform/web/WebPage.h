#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Registration.h"
#include "platform/foundation/WeakFactory.h"
#include "platform/ui/Geometry.h"
#include "platform/web/Browser.h"
#include "platform/web/PagePool.h"
#include "platform/web/WebRequest.h"

namespace platform {

// The engine's side of one web view: its page target in the shared headless browser, taken
// ready from the browser's page pool or prepared for it at first use, and anew once the
// browser or the page's renderer has ended. Nothing waits for the engine: commands given
// while the page is on its way are sent, in order, once it is there. It carries the view's
// commands to the page, answers the page's housekeeping events itself (script contexts,
// dialogs, a crash) and hands the rest, with the page script's navigation reports, to its
// client. Only a driver's questions (a script's result, a screenshot, a link's place) wait for
// the engine's answer. WebView alone makes and owns it; the client's callbacks hold the view
// weakly.
class WebPage {
 public:
  struct Client {
    std::function<void(const std::string& method, const Value& params)> onEvent;
    std::function<void(const Value& report)> onNavigationReport;
    // The page is gone (the browser ended or closed it, or its renderer crashed).
    std::function<void(const Error& error)> onGone;
  };
  // The main frame's session history; `current` is -1 when it could not be read.
  struct History {
    int current = -1;
    Array entries;
    // The entry of the new page's own about:blank is not history that a user can go back to.
    int firstEntry() const;
  };

  // A local reply to the page's requests for one file name.
  struct LocalAnswer {
    std::string mimeType;
    std::string body;
  };
  // What the view's owner adds to every page of the view: a script run at the start of every
  // document of the main frame, after the page script and before the page's own (empty: none),
  // and local answers by file name (the last segment of a request's URL path).
  struct Hooks {
    std::string documentStartScript;
    std::map<std::string, LocalAnswer> localAnswers;
    bool pausesEveryRequest = false;  // every request is paused, for the view to judge
  };

  WebPage();
  explicit WebPage(Hooks hooks);
  ~WebPage();
  WebPage(const WebPage&) = delete;
  WebPage& operator=(const WebPage&) = delete;

  // True when the page is there or on its way.
  bool hasPage() const { return page_.has_value() || opening_; }
  // True when the page is there or on its way, and its browser runs.
  bool isOpen() const { return hasPage() && browser_ && browser_->isRunning(); }
  // Takes or prepares a fresh page whose events go to `client`; false, with the reason in
  // openError(), when the engine cannot give one at once. A page that fails to come later is
  // reported to the client's onGone.
  [[nodiscard]] bool open(Client client);
  const std::optional<Error>& openError() const { return openError_; }
  const std::string& mainFrameId() const { return page_ ? page_->targetId : noFrame_; }

  // Kept for every page this holds from now on, and applied to the page there at once.
  const Hooks& hooks() const { return hooks_; }
  // From the next document on.
  void setDocumentStartScript(std::string source);
  // Every request of the page (frames of other sites aside) whose URL's last path segment is
  // `fileName` is paused and answered with `answer`; it never reaches the network. An empty
  // name, or one with a '/', answers nothing.
  void answerRequestsForFileName(std::string fileName, LocalAnswer answer);
  // Every request of the page (frames of other sites aside) is paused, not its documents only.
  void setPausesEveryRequest(bool on);
  // The local answer for a request to `url`, if its file name has one.
  const LocalAnswer* localAnswerFor(const std::string& url) const;

  Result<Value> call(std::string_view method, Value params, Duration budget = seconds(5));
  void send(std::string_view method, Value params, Browser::Reply reply = {});
  // Lets the page script pass our next navigation to `url`; `reply` comes once it has.
  void letThrough(const std::string& url, Browser::Reply reply);
  // The page's history, read from the engine; `done` comes on a later pass.
  void readHistory(std::function<void(History)> done);

  // Paused document requests: let go on as they are, answered with `html`, or aborted. While
  // the device has no network, a request let go on fails as it would without one.
  void continueRequest(const std::string& requestId);
  // Lets it go on with `headers`, and with `sent`'s method and body unless it is a GET.
  void continueRequest(const std::string& requestId, const WebRequest::Headers& headers,
                       const WebRequest& sent);
  void fulfillRequest(const std::string& requestId, const std::string& html);
  void fulfillRequest(const std::string& requestId, const LocalAnswer& answer);
  void abortRequest(const std::string& requestId);

  // The request that a Fetch.requestPaused event carries, with the phone's user agent unless
  // it names one.
  static WebRequest pausedRequest(const Value& paused);
  // Where a paused redirect response (3xx with a Location) points; nothing for any other.
  static std::optional<URL> redirectTarget(const Value& paused);

  // Lays the page out at `size` points (at least 1 x 1, at most kMaxViewportSide a side), as a
  // phone's browser when `scales`; the page's scripts after this see the new size.
  static constexpr double kMaxViewportSide = 2048;
  void applyViewport(Size size, bool scales);
  // Shown, the page is visible to the engine and runs at full rate, its animation frames
  // with it; hidden, it is a page in the background. The page hears visibilitychange. A page
  // comes hidden; the state is kept for every page this holds from now on. Once the page's
  // window is known, the scripts given after this see the new state.
  void setShown(bool shown);
  // The script's result as text within `budget`; "" for undefined, null, an exception
  // or a script ended at its budget.
  std::string evaluate(std::string_view script, Duration budget);
  // Runs the script without waiting for it; a script past `budget` is ended and logged.
  void run(std::string_view script, Duration budget);
  // Taps the link, button or element that `textOrSelector` names, at its centre.
  bool tap(std::string_view textOrSelector, Duration scriptBudget);
  // A finger's tap at `point` of the viewport, as the phone delivers it: a touch, then the
  // mouse events and click the engine derives from it, with the user activation they give.
  // The engine takes input only in a page it shows: a hidden page (a driver's view off the
  // screen) is shown until the engine has taken the tap. False for a point outside the
  // viewport or a view without a page.
  bool tapAt(Point point);
  // The viewport at `scale` pixels to the point; a hidden page is shown for it, as for a tap.
  std::optional<Bytes> screenshotPNG(double scale);

 private:
  void attach(const PagePool::ReadyPage& ready);
  void openFailed(const Error& error);
  void stopOpening();
  void forgetPage();
  bool attachNow();
  void whenAttached(std::function<void()> command);
  void applyReachability();
  void findWindow();
  void applyShown();
  void installDocumentStartScript();
  void fulfill(const std::string& requestId, const std::string& contentType,
               const std::string& body, Array extraHeaders);
  void failOffline(const std::string& requestId);
  void drop(const Error& error);
  void onEvent(const std::string& method, const Value& params);
  void onCrashed();
  std::string textOf(const Value& result, Duration budget);

  std::string token_;
  std::shared_ptr<Browser> browser_;
  std::optional<Browser::Page> page_;
  bool opening_ = false;                        // a page is being prepared for us
  std::vector<std::function<void()>> waiting_;  // commands for the page on its way
  static inline const std::string noFrame_;
  std::optional<Error> openError_;
  Client client_;
  int mainContext_ = 0;
  Size viewport_;
  bool viewportScales_ = false;
  bool shown_ = false;
  std::optional<long long> windowId_;  // the engine's window of the page, once known
  std::optional<bool> windowShown_;    // what the engine was last told, if anything
  // Taps and pictures under way: the engine takes them only from a page it shows.
  int showHolds_ = 0;
  Hooks hooks_;
  Registration reachability_;
  std::string startScriptId_;       // the engine's name of the installed document-start script
  std::uint64_t startScripts_ = 0;  // installs so far; a late reply of an older one is undone
  int scriptsRunning_ = 0;          // run() scripts not yet answered
  Registration busyWatch_;          // ends a busy page's script when run() gets no answer
  // Links for the page on its way: revoked when we no longer wait for it.
  WeakFactory<WebPage> openingWeak_{this};
  WeakFactory<WebPage> weak_{this};  // last: its links die first
};

}  // namespace platform
