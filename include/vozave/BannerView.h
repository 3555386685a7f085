#pragma once

/// @file
/// ZUVBannerView: the view that shows ads and refreshes them by itself.

#include <memory>
#include <string>

#include "velourphone/Export.h"
#include "velourphone/ViewController.h"
#include "vozave/BannerViewDelegate.h"
#include "vozave/Request.h"

// The banner that the application places on its screens: given an ad unit identifier and a
// root view controller and started with loadRequest, it shows ads and refreshes them by
// itself. A thin facade: its state lives in its ad controller.
class VOZAVE_API ZUVBannerView : public platform::View {
 public:
  // initWithFrame: the banner and its controller, ready to load.
  static std::shared_ptr<ZUVBannerView> create(const platform::Rect& frame = {});
  // The same for a subclass; a banner is always held by a shared_ptr.
  explicit ZUVBannerView(const platform::Rect& frame = {});
  ~ZUVBannerView() override;

  // The application's ad unit identifier, sent with every request; set it before loading.
  std::string adUnitID() const;
  // Takes effect with the next load.
  void setAdUnitID(std::string adUnitID);
  // The controller that presents the ad's full screens (browser, web application, mail).
  std::shared_ptr<platform::ViewController> rootViewController() const;
  // Required before loadRequest; not owned, so the application keeps it alive.
  void setRootViewController(std::weak_ptr<platform::ViewController> controller);
  // The first delegate set; every delegate set since is called as well.
  std::shared_ptr<ZUVBannerViewDelegate> delegate() const;
  // Adds a delegate; not owned, so the application keeps it alive as long as it wants calls.
  void setDelegate(const std::shared_ptr<ZUVBannerViewDelegate>& delegate);
  // True while the current load is a refresh of the banner's own; loadRequest clears it.
  bool hasAutoRefreshed() const;
  // Viewable refresh, off by default: a refresh that falls due while less than half of the
  // banner can be seen (scrolled away, covered, hidden, another tab, the application in the
  // background) waits until half of it can, so that no impression is counted for an ad nobody
  // sees.
  bool viewableRefresh() const;
  void setViewableRefresh(bool on);  // turns the viewable refresh on or off
  // The application's refresh interval, in seconds, in place of the one the ad server sends
  // with each ad (which applies until the application sets one): kept within 30 ... 120 s, with
  // a log line when it is not; 0 stops refreshing; a negative or non-finite value is ignored,
  // with a log line. Set between loads, it counts from now; during a load, from its end.
  void setRefreshInterval(double seconds);
  // Stops the refresh until resumeAutomaticRefresh, which arms the next one a full interval
  // later; loadRequest still loads meanwhile. The other pauses (background, full screens, the
  // viewable refresh) hold as well.
  void stopAutomaticRefresh();
  void resumeAutomaticRefresh();  // ends the stop
  // Off by default: the tracking URLs that the ad server announces with an ad are not fetched,
  // as the ad server may count the ad's impression by other means and the URLs lead to third
  // parties that the application has not vetted. On, each is fetched once, at the impression
  // of the ad that announced it.
  bool sendsTrackingURLsAtImpression() const;
  void setSendsTrackingURLsAtImpression(bool on);  // turns the tracking URLs on or off

  // Without a root view controller: a log line and an invalid-request error, nothing loads.
  void loadRequest(const std::shared_ptr<ZUVRequest>& request);

  // For a banner made from an interface resource.
  void awakeFromNib();

  // The class's name for interface resources and logs.
  std::string className() const override { return "ZUVBannerView"; }

 private:
  void commonInitializer();
};
