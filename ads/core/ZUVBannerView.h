#pragma once

#include <memory>
#include <string>

#include "ads/core/ZUVBannerViewDelegate.h"
#include "ads/core/ZUVRequest.h"
#include "platform/ui/ViewController.h"
#include "platform/web/WebView.h"

class ZUVObjectPrivate;

// The banner that the application places on its screens: given an ad unit identifier and a
// root view controller and started with loadRequest, it shows ads and refreshes them by
// itself. A thin facade: its state lives in its ad controller, which it keeps in the
// private-object registry under its own address.
class ZUVBannerView : public platform::View {
 public:
  // initWithFrame: the banner and its controller, ready to load.
  static std::shared_ptr<ZUVBannerView> create(const platform::Rect& frame = {});
  explicit ZUVBannerView(const platform::Rect& frame = {});
  ~ZUVBannerView() override;

  // The controller, from the registry.
  std::shared_ptr<ZUVObjectPrivate> privateObject() const;

  std::string adUnitID() const;
  void setAdUnitID(std::string adUnitID);
  std::shared_ptr<platform::ViewController> rootViewController() const;
  void setRootViewController(std::weak_ptr<platform::ViewController> controller);
  // The first delegate set; every delegate set since is called as well.
  std::shared_ptr<ZUVBannerViewDelegate> delegate() const;
  void setDelegate(const std::shared_ptr<ZUVBannerViewDelegate>& delegate);
  bool hasAutoRefreshed() const;
  std::shared_ptr<platform::WebView> webView() const;

  // Without a root view controller: a log line and an invalid-request error, nothing loads.
  void loadRequest(const std::shared_ptr<ZUVRequest>& request);

  // For a banner made from an interface resource.
  void awakeFromNib();

  std::string className() const override { return "ZUVBannerView"; }

 private:
  void commonInitializer();
};
