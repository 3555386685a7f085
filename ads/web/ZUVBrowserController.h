#pragma once

#include <memory>
#include <optional>
#include <string>

#include "ads/web/ZUVViewController.h"
#include "ads/web/ZUVWebViewDelegate.h"
#include "platform/foundation/URL.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Image.h"
#include "platform/ui/Toolbar.h"
#include "platform/web/WebView.h"

class ZUVBrowserController;

// The delegate of the in-app browser's web view: counts the user's navigations, keeps the
// landing-page timings and has the browser's toolbar follow each load.
class ZUVBrowserWebViewDelegate : public ZUVWebViewDelegate {
 public:
  explicit ZUVBrowserWebViewDelegate(std::weak_ptr<ZUVBrowserController> browser);

  bool webViewShouldStartLoadWithRequestNavigationType(
      platform::WebView& webView, const platform::WebRequest& request,
      platform::WebViewNavigationType type) override;
  void webViewDidStartLoad(platform::WebView& webView) override;
  void webViewDidFinishLoad(platform::WebView& webView) override;
  void webViewDidFailLoadWithError(platform::WebView& webView,
                                   const platform::Error& error) override;

 private:
  void refreshToolbar() const;

  std::weak_ptr<ZUVBrowserController> browser_;
};

// The state of an in-app browser. It owns the web view and its delegate and clears the web
// view's link to the delegate before either goes.
class ZUVBrowserControllerPrivate : public ZUVViewControllerPrivate {
 public:
  ~ZUVBrowserControllerPrivate() override;

  // What to load when the web view is made, on the first appearance.
  std::optional<platform::URL> urlToLoad;
  std::optional<platform::URL> referringURLToLoad;
  std::shared_ptr<ZUVBrowserWebViewDelegate> webViewDelegate;
  std::shared_ptr<platform::WebView> webView;
  std::shared_ptr<platform::Toolbar> toolbar;
  std::shared_ptr<platform::BarButtonItem> flexibleSpaceButton;
  std::shared_ptr<platform::BarButtonItem> backButton;
  std::shared_ptr<platform::BarButtonItem> forwardButton;
  std::shared_ptr<platform::BarButtonItem> reloadButton;
  std::shared_ptr<platform::BarButtonItem> safariButton;
  std::shared_ptr<platform::BarButtonItem> doneButton;
  std::shared_ptr<platform::BarButtonItem> spinnerContainingButton;
  std::shared_ptr<platform::ActivityIndicatorView> spinner;
};

// The full-screen browser in which ad click-throughs open: a web view over the screen but a
// bottom toolbar with back, forward, reload (a spinner while a page loads), a button that
// opens the page outside the application, and "Done". The opener makes and presents it; the
// first request carries the page on which the ad was clicked as "Referer".
class ZUVBrowserController : public ZUVViewController {
 public:
  static std::shared_ptr<ZUVBrowserController> create();
  ZUVBrowserController();

  // Loads now when the web view exists, else on the first appearance; null does nothing.
  void load(const std::optional<platform::URL>& url,
            const std::optional<platform::URL>& referringURL = std::nullopt);
  void back();
  void forward();
  void reload();
  void stop();
  // Leaves the application for the page shown now, and counts the break-out; without a page
  // (none yet, or about:blank) it does nothing.
  void openInSafari();
  // Back and forward follow the history; while a page loads the spinner stands in for
  // reload and the page cannot be opened outside.
  void refreshToolbar();

  ZUVBrowserControllerPrivate& vars() const;
  std::shared_ptr<platform::WebView> webView() const { return vars().webView; }
  std::shared_ptr<platform::Toolbar> toolbar() const { return vars().toolbar; }

  void viewWillAppear(bool animated) override;
  void didRotateFromInterfaceOrientation(platform::InterfaceOrientation from) override;

 protected:
  const platform::WebView* ownWebView() const override { return vars().webView.get(); }

 private:
  void buildWebView(double toolbarHeight, unsigned mask);
  void buildToolbar(double toolbarHeight, unsigned mask);
  void createToolbarButtons();
  std::shared_ptr<platform::BarButtonItem> buttonWithImage(std::shared_ptr<platform::Image> image,
                                                           std::string name, int width,
                                                           bool enabled, std::string action);
  std::shared_ptr<platform::BarButtonItem> systemButton(platform::BarButtonSystemItem item,
                                                        std::string name, bool enabled,
                                                        std::string action);
};
