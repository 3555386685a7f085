#pragma once

#include <memory>
#include <optional>
#include <string>

#include "ads/web/ZUVViewController.h"
#include "ads/web/ZUVWebViewDelegate.h"
#include "platform/foundation/URL.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Button.h"
#include "platform/web/WebView.h"

class ZUVWebAppWebViewDelegate;

// The state of a full-screen web application. It owns the web view and its delegate and
// clears the web view's link to the delegate before either goes.
class ZUVWebAppViewControllerPrivate : public ZUVViewControllerPrivate {
 public:
  ~ZUVWebAppViewControllerPrivate() override;

  // What to load when the web view is made, on the first appearance.
  std::optional<platform::URL> urlToLoad;
  std::optional<std::string> htmlToLoad;
  std::optional<platform::URL> htmlBaseURLToLoad;
  std::shared_ptr<ZUVWebAppWebViewDelegate> webViewDelegate;
  std::shared_ptr<platform::WebView> webView;
  std::shared_ptr<platform::Button> closeButton;
  // The first page has finished loading.
  bool loaded = false;
  // Shown until the first page has loaded.
  std::shared_ptr<platform::ActivityIndicatorView> loadingSpinner;
};

// The delegate of the web application's web view: keeps the landing-page timings, removes
// the spinner when the first page has loaded and sends the page "onshow" for each appearance
// of its controller once the page is there.
class ZUVWebAppWebViewDelegate : public ZUVWebViewDelegate {
 public:
  // `webApp` owns this delegate.
  explicit ZUVWebAppWebViewDelegate(ZUVWebAppViewControllerPrivate& webApp);

  bool pendingOnShow() const { return pendingOnShow_; }
  // Asks for one "onshow", sent at once when the page is there and not loading.
  void setPendingOnShow(bool pending);
  // Sends the asked-for "onshow" with the client's version.
  void postOnShowEvent();

  void webViewDidStartLoad(platform::WebView& webView) override;
  void webViewDidFinishLoad(platform::WebView& webView) override;

 private:
  ZUVWebAppViewControllerPrivate& webApp_;
  bool pendingOnShow_ = false;
};

// A full-screen web application: one page or HTML text in a web view over the whole screen,
// with a close button and a spinner until the page has loaded. The opener makes and presents
// it for an ad's "open" message. The page gets "onshow" each time the controller appears and
// "onhide" when it disappears.
class ZUVWebAppViewController : public ZUVViewController {
 public:
  static std::shared_ptr<ZUVWebAppViewController> create();
  ZUVWebAppViewController();

  // Loads now when the web view exists, else on the first appearance; null does nothing.
  void load(const std::optional<platform::URL>& url);
  void loadHTMLBaseURL(const std::optional<std::string>& html,
                       const std::optional<platform::URL>& baseURL);

  ZUVWebAppViewControllerPrivate& vars() const;
  std::shared_ptr<platform::WebView> webView() const { return vars().webView; }

  void viewWillAppear(bool animated) override;
  void viewDidAppear(bool animated) override;
  void viewDidDisappear(bool animated) override;
  void didRotateFromInterfaceOrientation(platform::InterfaceOrientation from) override;

 protected:
  const platform::WebView* ownWebView() const override { return vars().webView.get(); }

 private:
  void buildWebView();
  void buildCloseButton();
  void showSpinner();
};
