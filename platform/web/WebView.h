#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/foundation/Registration.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/WeakFactory.h"
#include "platform/ui/View.h"
#include "platform/web/Browser.h"
#include "platform/web/DocumentRequests.h"
#include "platform/web/JavaScriptEvaluating.h"
#include "platform/web/PageResourceMonitor.h"
#include "platform/web/WebDriving.h"
#include "platform/web/WebPage.h"
#include "platform/web/WebRequest.h"

namespace platform {

class WebView;

enum WebViewNavigationType : int {
  kWebViewNavigationTypeLinkClicked = 0,
  kWebViewNavigationTypeFormSubmitted = 1,
  kWebViewNavigationTypeBackForward = 2,
  kWebViewNavigationTypeReload = 3,
  kWebViewNavigationTypeFormResubmitted = 4,
  kWebViewNavigationTypeOther = 5,
};

// Codes of the load failures that reach webViewDidFailLoadWithError, in kWebErrorDomain (the
// engine's own codes are in Browser.h).
enum WebViewErrorCode : long {
  kWebErrorLoadFailed = 10,   // the page could not be loaded (the text names the reason)
  kWebErrorCancelled = 11,    // stopLoading, or a newer load took its place
  kWebErrorTimedOut = 12,     // the load ran past the load time-out
  kWebErrorInterrupted = 13,  // the delegate refused a redirect of the load
  kWebErrorCrashed = 14,      // the page's renderer crashed
};

// The web view's delegate; every message has a default, so a delegate overrides only what it
// needs. The web view does not own it: a delegate that goes hears nothing more.
class WebViewDelegate {
 public:
  virtual ~WebViewDelegate() = default;
  virtual bool webViewShouldStartLoadWithRequestNavigationType(WebView& webView,
                                                               const WebRequest& request,
                                                               WebViewNavigationType type);
  virtual void webViewDidStartLoad(WebView& webView);
  virtual void webViewDidFinishLoad(WebView& webView);
  virtual void webViewDidFailLoadWithError(WebView& webView, const Error& error);
};

// The platform's web view: a view whose content is a page of the headless browser. Every
// navigation of its main frame is put to the delegate before anything loads; a refused one
// never loads and leaves the page as it was. Delegate messages come on later passes of the
// run loop, once per load: start, then finish or failure. No page can hold the run loop: a
// page's navigations are put to the delegate as they come, in order, and of a burst of approved
// ones only the last loads. The page is laid out at the view's size from the moment the frame
// changes: a script run after that sees the new size. The page is visible to the engine, and
// runs at full rate, while any of the view shows on the screen (Exposure.h), and hidden
// otherwise. Its page in the engine is a WebPage; its own document requests are
// kept by DocumentRequests. Loading and history are virtual so that unit tests of its owners
// can put a double in its place.
class WebView : public View, public JavaScriptEvaluating, public WebDriving {
 public:
  // The phone's user agent, sent with every request of every web view.
  static constexpr const char* kUserAgent =
      "Mozilla/5.0 (iPhone; U; CPU iPhone OS 4_3_3 like Mac OS X; en-us) AppleWebKit/533.17.9 "
      "(KHTML, like Gecko) Version/5.0.2 Mobile/8J2 Safari/6533.18.5";
  static constexpr Duration kDefaultScriptBudget = seconds(2);
  static constexpr Duration kDefaultLoadTimeout = seconds(60);
  // The time without news from the page after which the last navigation it asked for loads,
  // should the page not say that its burst of navigations has ended.
  static constexpr Duration kBurstQuiet = seconds(1);
  // Texts loaded with a web base URL that the view keeps, the newest, to serve again when the
  // page goes back to them or reloads: a banner loads a new one at every refresh.
  static constexpr std::size_t kRememberedPageTexts = DocumentRequests::kRememberedTexts;

  static std::shared_ptr<WebView> create(const Rect& frame = {});
  explicit WebView(const Rect& frame = {});
  ~WebView() override;

  // How many loaded texts the view keeps now; at most kRememberedPageTexts.
  std::size_t rememberedPageTextCount() const { return requests_.rememberedCount(); }

  std::shared_ptr<WebView> webSelf() {
    return std::static_pointer_cast<WebView>(weak_from_this().lock());
  }

  // Not owned; a message posted for a later pass goes to the delegate set when it is
  // delivered, and to none once that delegate has gone.
  std::shared_ptr<WebViewDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<WebViewDelegate> delegate) { delegate_ = std::move(delegate); }

  // For the delegate, while it decides a navigation: true when the page's user started it (a
  // tap, with the activation a tap gives the page's scripts for a few seconds), and for the
  // redirects of a loadRequest, made for the user; false for the page's own scripts, for the
  // application's loads themselves, history moves and reloads.
  virtual bool lastNavigationHadUserActivation() const { return lastUserActivation_; }
  // For the delegate, while it decides a navigation: true when the page asked for it (a link,
  // a form, a script), false for the application's loads, history moves and reloads and for
  // the redirects of a load.
  virtual bool lastNavigationCameFromPage() const { return lastFromPage_; }
  // The same: true for the application's own loads (loadRequest, loadHTMLStringBaseURL).
  virtual bool lastNavigationCameFromApplication() const { return lastFromApplication_; }

  virtual void loadRequest(const WebRequest& request);
  // The page gets `baseURL`'s origin; without one, a unique origin of a page no server has,
  // and the view's request() is about:blank.
  virtual void loadHTMLStringBaseURL(std::string_view html, const std::optional<URL>& baseURL);
  // Waits for the page's answer: for drivers; the ad client runs its scripts without waiting.
  std::string stringByEvaluatingJavaScriptFromString(std::string_view script) override;
  void runJavaScript(std::string_view script) override;

  virtual void goBack();
  virtual void goForward();
  virtual void reload();
  virtual void stopLoading();
  // From the history that the page's last committed navigation left.
  virtual bool canGoBack();
  virtual bool canGoForward();
  virtual bool isLoading() const { return load_.active; }
  // The request of the page shown, or of the load under way.
  virtual const WebRequest& request() const { return request_; }

  // Applied to the page at its next load, tap or screenshot.
  bool scalesPageToFit() const { return scalesPageToFit_; }
  void setScalesPageToFit(bool on) { scalesPageToFit_ = on; }
  unsigned dataDetectorTypes() const { return dataDetectorTypes_; }
  void setDataDetectorTypes(unsigned types) { dataDetectorTypes_ = types; }
  bool allowsInlineMediaPlayback() const { return allowsInlineMediaPlayback_; }
  void setAllowsInlineMediaPlayback(bool on) { allowsInlineMediaPlayback_ = on; }
  bool mediaPlaybackRequiresUserAction() const { return mediaPlaybackRequiresUserAction_; }
  void setMediaPlaybackRequiresUserAction(bool on) { mediaPlaybackRequiresUserAction_ = on; }

  // How long a script may run before it is ended (its answer is then "").
  Duration scriptBudget() const { return scriptBudget_; }
  void setScriptBudget(Duration budget) { scriptBudget_ = budget; }
  // The time after which a load that has not ended fails; for every web view.
  static Duration loadTimeout();
  static void setLoadTimeout(Duration timeout);

  // For a container that hosts its own script library in the page (an ad's bridge). From the
  // next document on, `source` runs in every document of the main frame, after the view's own
  // page script and before any script of the page's; empty: none. Kept across loads.
  void setDocumentStartScript(std::string source);
  // Every request of the page whose URL's last path segment is `fileName` is answered with
  // `body` as `mimeType`, status 200, and never reaches the network: the main frame's and those
  // of frames of its site (a frame of another site runs in a process the view does not attach
  // to, and its requests go their own way).
  void answerRequestsForFileName(std::string fileName, std::string mimeType, std::string body);
  // Called on a later pass with the URL of each request answered so. Empty: none.
  using LocalAnswerHandler = std::function<void(const std::string& url)>;
  void setLocalAnswerHandler(LocalAnswerHandler handler) {
    localAnswerHandler_ = std::move(handler);
  }
  // Called on a later pass with each console message of the page ("log", "info", "warning",
  // "error", ... as the page's console call; "error" for an uncaught exception), its text as
  // the page gave it: untrusted, the handler escapes and caps it. Empty: none.
  using ConsoleHandler = std::function<void(const std::string& level, const std::string& text)>;
  void setConsoleHandler(ConsoleHandler handler) { consoleHandler_ = std::move(handler); }
  const ConsoleHandler& consoleHandler() const { return consoleHandler_; }

  // Asked with the URL of each request of the page (its documents and resources, and those of
  // frames of its site, as answerRequestsForFileName sees them), as it goes out: false aborts
  // it, which the page sees as a network error.
  // It runs inside the engine's report and must not call back into the view. Empty: all go.
  using RequestFilter = std::function<bool(const std::string& url)>;
  void setRequestFilter(RequestFilter filter);

  // Unloads the page once it passes one of `limits` (each load of the application's counts
  // anew), then calls `onUnloaded` with the limit's name on a later pass.
  void limitResources(const PageResourceLimits& limits,
                      std::function<void(const std::string& limit)> onUnloaded);
  // Ends the page in the engine at once, its scripts with it; a load under way fails as
  // cancelled, and the next load opens a fresh page.
  void closePage();

  bool tapLink(std::string_view textOrSelector) override;
  bool tapAt(Point point) override;
  std::string pageText() override;
  // What the page has used so far under limitResources; null without limits.
  const PageResourceMonitor* resourceMonitor() const { return monitor_.get(); }
  std::optional<Bytes> screenshotPNG() override { return screenshotPNGAtScale(1); }
  // The page at the view's size in points, `scale` pixels to the point (a device's screen
  // scale); nothing for a scale that is not positive or past 4.
  std::optional<Bytes> screenshotPNGAtScale(double scale);

  bool drawsContent() const override { return true; }
  std::string className() const override { return "WebView"; }
  std::string describe() const override;

 protected:
  void layoutSubviews() override;

 private:
  // A load that the web view started and has not yet reported as finished or failed.
  struct Load {
    bool active = false;
    WebViewNavigationType type = kWebViewNavigationTypeOther;
    bool started = false;          // the main frame began navigating for this load
    bool committed = false;        // and has a new document (or an error page)
    bool userActivation = false;   // the page's user started it (its redirects inherit that)
    std::optional<Error> failure;  // noted before the frame stopped
    TimerHandle timeout;
  };
  // A navigation of the page that the delegate approved, carried out once the page's script
  // that asked for it has ended: of a burst only the last one loads.
  struct Approved {
    WebRequest request;
    WebViewNavigationType type = kWebViewNavigationTypeOther;
    bool sameDocument = false;
    long long historyIndex = -1;
    bool userActivation = false;
  };

  bool ensurePage();
  WebPage::Client pageClient();
  void dropPage(const Error& error);
  void refreshHistory(std::function<void()> then);
  void unloadOverLimit(const std::string& limit);
  void applyViewport();
  void followExposure();

  // Where a navigation put to the delegate comes from.
  enum class Asker { Application, Page, Redirect };
  bool ask(const WebRequest& request, WebViewNavigationType type, Asker asker = Asker::Application,
           bool userActivation = false);
  void beginLoad(WebViewNavigationType type, const WebRequest& request,
                 bool userActivation = false);
  void resetLoad();
  void finishLoad();
  void failLoad(Error error);
  void cancelLoadInProgress();
  void failWithoutEngine();
  bool startApplicationLoad(const WebRequest& request);
  void notify(std::function<void(WebViewDelegate&, WebView&)> message);
  void passThen(const std::string& url, std::function<void(WebView&)> then);
  void navigateTo(const WebRequest& request, std::optional<std::string> html,
                  WebViewNavigationType type, bool userActivation = false);
  void sendNavigate(Dictionary params);
  void navigateInHistory(int offset, bool askFirst, bool userActivation = false);
  void reloadApproved(WebViewNavigationType type, bool userActivation = false);
  void armCarryOut(Duration delay);
  void carryOutWhenQuiet();
  void carryOutNow();

  void onEvent(const std::string& method, const Value& params);
  void onNavigationReport(const Value& report);
  void onConsoleMessage(const std::string& level, std::string text);
  bool answerLocally(const std::string& requestId, const std::string& url);
  void onRequestPaused(const Value& params);
  void onResponsePaused(const std::string& requestId, const Value& params);
  void continueOurRequest(const std::string& requestId, const Value& paused);
  void onFrameNavigated(const Value& frame);
  void onFrameStopped();
  WebRequest requestFromPage(const std::string& url) const;

  std::weak_ptr<WebViewDelegate> delegate_;
  bool lastUserActivation_ = false;
  bool lastFromPage_ = false;
  bool lastFromApplication_ = false;
  std::unique_ptr<WebPage> page_;
  std::unique_ptr<PageResourceMonitor> monitor_;
  std::function<void(const std::string& limit)> onUnloaded_;
  ConsoleHandler consoleHandler_;
  LocalAnswerHandler localAnswerHandler_;
  RequestFilter requestFilter_;

  WebRequest request_;
  WebPage::History history_;
  Load load_;
  DocumentRequests requests_;
  WebViewNavigationType unheldType_ = kWebViewNavigationTypeOther;
  bool unheldUserActivation_ = false;
  std::optional<Approved> approved_;
  TimerHandle carryOut_;
  Instant lastReportTime_;
  std::string committedURL_;
  std::string blankStandIn_;  // the page that serves the last text loaded without a base URL

  bool scalesPageToFit_ = false;
  unsigned dataDetectorTypes_ = 0;
  bool allowsInlineMediaPlayback_ = false;
  bool mediaPlaybackRequiresUserAction_ = true;
  Duration scriptBudget_ = kDefaultScriptBudget;
  Registration exposureWatch_;
  // Callbacks of the load under way (its reply, its history read) fall silent once it ends.
  WeakFactory<WebView> loadWeak_{this};
  // Callbacks of the navigation we carry out fall silent once another one starts.
  WeakFactory<WebView> navigationWeak_{this};
  WeakFactory<WebView> weak_{this};  // last: its links die first
};

}  // namespace platform
