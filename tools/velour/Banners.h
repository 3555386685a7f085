#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "ads/core/ZUVBannerView.h"
#include "platform/foundation/Result.h"

namespace velour {

// The front end's view of the ad banners in the running application: where they are, what
// they show, a user's tap on one, and waiting until their loads have done their real work.
// It listens to each banner's delegate messages as a second delegate, so the application's
// own delegate, if any, stays the first.
class Banners {
 public:
  // Every banner in the window's view controllers' views, shown or not.
  static std::vector<std::shared_ptr<ZUVBannerView>> all();
  // The banner a person sees: the topmost one shown in the window (the information screen's
  // lies over the board's, which still counts as shown in the tree beneath it); null for none.
  static std::shared_ptr<ZUVBannerView> topmostShown();
  // The banners in `view`'s tree, front to back as they were added.
  static std::vector<std::shared_ptr<ZUVBannerView>> in(
      const std::shared_ptr<platform::View>& view);
  // One line for the screen printer: "banner X,Y WxH state [ad URL]".
  std::string describe(const std::shared_ptr<ZUVBannerView>& banner);
  // One line per banner of all(): where it is, its state and ad, when its refresh is due and
  // the errors it has reported while watched.
  void printAll(std::ostream& out);
  // Starts watching the banners that came since the last call, so that their errors count,
  // their pages' console messages are logged, and they have the viewable refresh option.
  void watchAll();
  // Viewable refresh for every banner, now and to come (velour --viewable-refresh).
  void setViewableRefresh(bool on);
  // A finger's tap on the first banner visible on screen, at `point` in the banner's own
  // coordinates or else at its centre.
  platform::Result<void> tapVisible(std::optional<platform::Point> point = std::nullopt);
  // Runs the loop on host time until no banner has a fetch or page load under way and
  // `alsoBusy` (if given) is false, for at most `budget`; the simulated clock stays put. False
  // when work is still under way at the end of the budget.
  static bool settle(platform::Duration budget, const std::function<bool()>& alsoBusy = {});
  // True when every banner with work under way only awaits its build page's report.
  static bool awaitingBuildReportsOnly();

 private:
  struct Watch {
    std::weak_ptr<ZUVBannerView> banner;
    std::shared_ptr<ZUVBannerViewDelegate> delegate;
    long lastError = -1;
    std::string lastReason;  // why the last load failed, in the error's own words
    std::vector<long> errors;
  };
  std::string state(const std::shared_ptr<ZUVBannerView>& banner);
  static bool isSeenOrAway(ZUVBannerView& banner);
  Watch& watch(const std::shared_ptr<ZUVBannerView>& banner);

  std::map<const ZUVBannerView*, Watch> watches_;
  bool viewableRefresh_ = false;
};

}  // namespace velour
