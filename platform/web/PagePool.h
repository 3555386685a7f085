#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Registration.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/WeakFactory.h"
#include "platform/web/Browser.h"

namespace platform {

// Pages of the browser opened and set up ahead of need, so that a new web view takes one at
// once instead of waiting for the engine's answers. It keeps one spare page once pages are in
// use, two while they are taken in quick succession (banners loading together), refills in
// the background after each take, and closes its spares after a while without a take or at a
// memory warning. Browser owns it; WebPage takes from it, or has it prepare a page of its own.
class PagePool {
 public:
  // A page with everything that every web view's page gets: the page script (with `token`,
  // which lets the view's own navigations through), the navigation binding, touches, the
  // phone's user agent, and document requests paused (all requests while `offline`).
  struct ReadyPage {
    Browser::Page page;
    std::string token;
    bool offline = false;
  };
  // Called once the page is ready, or with the reason there is none; returns whether the caller
  // took it (a caller that has gone or no longer needs it leaves it to the pool as a spare).
  using Prepared = std::function<bool(const ReadyPage* page, const Error* error)>;

  static constexpr std::size_t kMaxSpares = 2;
  // Seconds within which two takes count as quick succession.
  static constexpr double kBurstWindow = 10;
  // Seconds without a take after which the spares are closed.
  static constexpr double kIdleRelease = 120;

  explicit PagePool(Browser& browser);
  PagePool(const PagePool&) = delete;
  PagePool& operator=(const PagePool&) = delete;

  // A spare page, if one is ready; the pool refills behind it.
  std::optional<ReadyPage> take();
  // Opens and sets up a page for the caller; `done` comes on a later pass.
  void prepare(Prepared done);
  // Sets a page up for a web view's use (for a page that the caller opened itself); answers
  // `acknowledged` when the engine has applied all of it.
  static ReadyPage setUp(Browser& browser, const Browser::Page& page,
                         std::function<void()> acknowledged = {});
  // Pauses every request of the page while the device has no network, documents only with one,
  // and with it every request whose URL names one of `answeredFileNames`, to be answered locally.
  static void applyReachability(Browser& browser, const std::string& sessionId, bool offline,
                                const std::vector<std::string>& answeredFileNames = {});
  static bool isOffline();

  std::size_t spareCount() const { return spares_.size(); }
  void releaseSpares();

 private:
  std::size_t wanted() const;
  void refill();
  void keep(const ReadyPage& page);
  void armIdleRelease();

  Browser& browser_;
  std::vector<ReadyPage> spares_;
  std::size_t preparing_ = 0;  // spares on their way
  std::vector<double> takes_;  // run-loop times of the recent takes
  TimerHandle idleRelease_;
  Registration memoryWarning_;
  WeakFactory<PagePool> weak_{this};  // last: its links die first
};

}  // namespace platform
