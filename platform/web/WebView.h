#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/URL.h"
#include "platform/ui/View.h"
#include "platform/web/Browser.h"
#include "platform/web/JavaScriptEvaluating.h"
#include "platform/web/WebDriving.h"
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
};

// The web view's delegate; every message has a default, so a delegate overrides only what it
// needs. The web view does not own it: a delegate clears the link before it goes.
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
// run loop, once per load: start, then finish or failure. Loading and history are virtual so
// that unit tests of its owners can put a double in its place.
class WebView : public View, public JavaScriptEvaluating, public WebDriving {
 public:
  // The phone's user agent, sent with every request of every web view.
  static constexpr const char* kUserAgent =
      "Mozilla/5.0 (iPhone; U; CPU iPhone OS 4_3_3 like Mac OS X; en-us) AppleWebKit/533.17.9 "
      "(KHTML, like Gecko) Version/5.0.2 Mobile/8J2 Safari/6533.18.5";
  static constexpr double kDefaultScriptBudget = 2;
  static constexpr double kDefaultLoadTimeout = 60;

  static std::shared_ptr<WebView> create(const Rect& frame = {});
  explicit WebView(const Rect& frame = {});
  ~WebView() override;

  std::shared_ptr<WebView> webSelf() {
    return std::static_pointer_cast<WebView>(weak_from_this().lock());
  }

  WebViewDelegate* delegate() const { return delegate_; }
  void setDelegate(WebViewDelegate* delegate) { delegate_ = delegate; }

  virtual void loadRequest(const WebRequest& request);
  // The page gets `baseURL`'s origin; no base URL gives about:blank.
  virtual void loadHTMLStringBaseURL(std::string_view html, const std::optional<URL>& baseURL);
  std::string stringByEvaluatingJavaScriptFromString(std::string_view script) override;

  virtual void goBack();
  virtual void goForward();
  virtual void reload();
  virtual void stopLoading();
  virtual bool canGoBack();
  virtual bool canGoForward();
  virtual bool isLoading() const { return load_.active; }
  // The request of the page shown, or of the load under way.
  virtual const WebRequest& request() const { return request_; }

  // Applied to the page at its next load, tap or screenshot, like the view's frame.
  bool scalesPageToFit() const { return scalesPageToFit_; }
  void setScalesPageToFit(bool on) { scalesPageToFit_ = on; }
  unsigned dataDetectorTypes() const { return dataDetectorTypes_; }
  void setDataDetectorTypes(unsigned types) { dataDetectorTypes_ = types; }
  bool allowsInlineMediaPlayback() const { return allowsInlineMediaPlayback_; }
  void setAllowsInlineMediaPlayback(bool on) { allowsInlineMediaPlayback_ = on; }
  bool mediaPlaybackRequiresUserAction() const { return mediaPlaybackRequiresUserAction_; }
  void setMediaPlaybackRequiresUserAction(bool on) { mediaPlaybackRequiresUserAction_ = on; }

  // Seconds that a script may run before it is ended (its answer is then "").
  double scriptBudget() const { return scriptBudget_; }
  void setScriptBudget(double seconds) { scriptBudget_ = seconds; }
  // Seconds after which a load that has not ended fails; for every web view.
  static double loadTimeout();
  static void setLoadTimeout(double seconds);

  bool tapLink(std::string_view textOrSelector) override;
  std::string pageText() override;
  std::optional<Bytes> screenshotPNG() override;

  std::string className() const override { return "WebView"; }
  std::string describe() const override;

 private:
  // A load that the web view started and has not yet reported as finished or failed.
  struct Load {
    bool active = false;
    std::uint64_t id = 0;
    WebViewNavigationType type = kWebViewNavigationTypeOther;
    bool started = false;          // the main frame began navigating for this load
    bool committed = false;        // and has a new document (or an error page)
    bool htmlPending = false;      // text for a blank page still to be put in
    std::optional<Error> failure;  // noted before the frame stopped
    std::shared_ptr<Timer> timeout;
  };
  // What the next document request of the main frame, which is ours, carries.
  struct Expected {
    WebRequest request;
    std::optional<std::string> html;
  };

  bool ensurePage();
  void setUpPage();
  void dropPage(const Error& error);
  Browser::CallResult call(std::string_view method, Value params, double budget = 5);
  void send(std::string_view method, Value params, Browser::Reply reply = {});
  void applyViewport();

  bool ask(const WebRequest& request, WebViewNavigationType type);
  void beginLoad(WebViewNavigationType type, const WebRequest& request);
  void finishLoad();
  void failLoad(Error error);
  void cancelLoadInProgress();
  void failWithoutEngine();
  void notify(std::function<void(WebViewDelegate&, WebView&)> message);
  void allowNext(const std::string& url);
  void navigateTo(const WebRequest& request, std::optional<std::string> html,
                  WebViewNavigationType type);
  void navigateInHistory(int offset, bool askFirst);
  void reloadApproved(WebViewNavigationType type);

  void onEvent(const std::string& method, const Value& params);
  void onNavigationReport(const Value& params);
  void onRequestPaused(const Value& params);
  void onResponsePaused(const std::string& requestId, const Value& params);
  void continueOurRequest(const std::string& requestId, const Value& paused);
  void onFrameNavigated(const Value& frame);
  void onFrameStopped();
  WebRequest requestFromPaused(const Value& request) const;
  WebRequest requestFromPage(const std::string& url) const;

  WebViewDelegate* delegate_ = nullptr;
  std::shared_ptr<Browser> browser_;
  std::optional<Browser::Page> page_;
  std::string token_;
  std::optional<Error> engineError_;
  int mainContext_ = 0;
  Size viewport_;
  bool viewportScales_ = false;

  WebRequest request_;
  Load load_;
  std::uint64_t nextLoadId_ = 1;
  std::optional<Expected> expected_;
  WebViewNavigationType unheldType_ = kWebViewNavigationTypeOther;
  std::map<std::string, std::string> htmlByURL_;
  std::string committedURL_;

  bool scalesPageToFit_ = false;
  unsigned dataDetectorTypes_ = 0;
  bool allowsInlineMediaPlayback_ = false;
  bool mediaPlaybackRequiresUserAction_ = true;
  double scriptBudget_ = kDefaultScriptBudget;
};

}  // namespace platform
