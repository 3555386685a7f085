#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/ui/Geometry.h"
#include "platform/web/Browser.h"
#include "platform/web/WebRequest.h"

namespace platform {

// The engine's side of one web view: its page target in the shared headless browser, opened
// at first use and anew once the browser or the page's renderer has ended. It sets the page up
// (page script, user agent, document requests paused for the view, viewport), carries the
// view's commands to it, answers the page's housekeeping events itself (script contexts,
// dialogs, a crash) and hands the rest, with the page script's navigation reports, to its
// client. WebView alone makes and owns it; the client's callbacks hold the view weakly.
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

  WebPage();
  ~WebPage();
  WebPage(const WebPage&) = delete;
  WebPage& operator=(const WebPage&) = delete;

  bool hasPage() const { return page_.has_value(); }
  // True when the page is there and its browser runs.
  bool isOpen() const { return page_ && browser_ && browser_->isRunning(); }
  // Opens and sets up a fresh page whose events go to `client`; false, with the reason in
  // openError(), when the engine cannot give one.
  [[nodiscard]] bool open(Client client);
  const std::optional<Error>& openError() const { return openError_; }
  const std::string& mainFrameId() const { return page_->targetId; }

  Browser::CallResult call(std::string_view method, Value params, double budget = 5);
  void send(std::string_view method, Value params, Browser::Reply reply = {});
  // Lets the page script pass our next navigation to `url`; `reply` comes once it has.
  void letThrough(const std::string& url, Browser::Reply reply);
  History history();

  // Paused document requests: let go on as they are, answered with `html`, or aborted. While
  // the device has no network, a request let go on fails as it would without one.
  void continueRequest(const std::string& requestId);
  // Lets it go on with `headers`, and with `sent`'s method and body unless it is a GET.
  void continueRequest(const std::string& requestId, const WebRequest::Headers& headers,
                       const WebRequest& sent);
  void fulfillRequest(const std::string& requestId, const std::string& html);
  void abortRequest(const std::string& requestId);

  // The request that a Fetch.requestPaused event carries, with the phone's user agent unless
  // it names one.
  static WebRequest pausedRequest(const Value& paused);
  // Where a paused redirect response (3xx with a Location) points; nothing for any other.
  static std::optional<URL> redirectTarget(const Value& paused);

  // Lays the page out at `size` points (at least 1 x 1), as a phone's browser when `scales`.
  void applyViewport(Size size, bool scales);
  // The script's result as text within `budget` seconds; "" for undefined, null, an exception
  // or a script ended at its budget.
  std::string evaluate(std::string_view script, double budget);
  // Taps the link, button or element that `textOrSelector` names, at its centre.
  bool tap(std::string_view textOrSelector, double scriptBudget);
  // A finger's tap at `point` of the viewport, as the phone delivers it: a touch, then the
  // mouse events and click the engine derives from it, with the user activation they give.
  // False for a point outside the viewport or an engine that did not take it.
  bool tapAt(Point point);
  // The viewport at `scale` pixels to the point.
  std::optional<Bytes> screenshotPNG(double scale);

 private:
  void setUp();
  // Pauses every request of the page while the device has no network, documents only with one.
  void applyReachability();
  static bool isOffline();
  void failOffline(const std::string& requestId);
  void drop(const Error& error);
  void onEvent(const std::string& method, const Value& params);
  void onCrashed();
  std::string textOf(const Value& result, double budget);

  std::string token_;
  std::shared_ptr<Browser> browser_;
  std::optional<Browser::Page> page_;
  std::optional<Error> openError_;
  Client client_;
  int mainContext_ = 0;
  Size viewport_;
  bool viewportScales_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace platform
