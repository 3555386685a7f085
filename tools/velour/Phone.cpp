#include "tools/velour/Phone.h"

#include <cstdio>
#include <sstream>

#include "platform/device/Device.h"
#include "platform/foundation/RunLoop.h"
#include "platform/harness/Harness.h"
#include "platform/media/AudioPlayer.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/Window.h"
#include "tools/velour/FullScreens.h"
#include "tools/velour/Refusal.h"

namespace velour {

namespace {

using platform::Application;
using platform::View;

std::string fixed(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", value);
  return buffer;
}

std::shared_ptr<platform::TabBarController> tabBarController() {
  auto window = platform::Window::keyWindow();
  if (!window) return nullptr;
  return std::dynamic_pointer_cast<platform::TabBarController>(window->rootViewController());
}

// Prints the controls of `view`'s tree; a view that belongs to another view controller is an
// overlay (the information screen) and is named with its alpha.
void printTree(std::ostream& out, const View& view, const std::string& indent) {
  for (const auto& sub : view.subviews()) {
    std::string hidden = sub->isHidden() ? " hidden" : "";
    if (!sub->controllerClassName().empty()) {
      out << indent << "overlay: " << sub->controllerClassName() << " alpha " << fixed(sub->alpha())
          << hidden << "\n";
      printTree(out, *sub, indent + "  ");
    } else if (auto button = std::dynamic_pointer_cast<platform::Button>(sub)) {
      out << indent << "button \"" << button->title() << "\" "
          << FullScreens::geometry(button->frame()) << hidden << "\n";
    } else if (auto label = std::dynamic_pointer_cast<platform::Label>(sub)) {
      out << indent << "label \"" << label->text() << "\"" << hidden << "\n";
    } else if (!sub->isHidden()) {
      printTree(out, *sub, indent);
    }
  }
}

void printTabs(std::ostream& out, platform::TabBarController& tabs) {
  auto titles = tabs.tabBar()->itemTitles();
  out << "tabs:";
  for (std::size_t i = 0; i < titles.size(); ++i) {
    bool selected = static_cast<int>(i) == tabs.selectedIndex();
    out << " " << (selected ? "[" : "") << titles[i] << (selected ? "]" : "");
  }
  out << "\n";
}

void printPlaying(std::ostream& out) {
  auto players = platform::AudioPlayer::playingPlayers();
  if (players.empty()) out << "playing: nothing\n";
  for (const auto& player : players) {
    out << "playing: " << player->clipName() << " "
        << fixed(platform::toSeconds(player->currentTime())) << " of "
        << fixed(platform::toSeconds(player->duration())) << " s\n";
  }
}

const char* transitionName(platform::AnimationTransition transition) {
  switch (transition) {
    case platform::AnimationTransition::None:
      return "no transition";
    case platform::AnimationTransition::FlipFromLeft:
      return "flip from left";
    case platform::AnimationTransition::FlipFromRight:
      return "flip from right";
    case platform::AnimationTransition::CurlUp:
      return "curl up";
    case platform::AnimationTransition::CurlDown:
      return "curl down";
  }
  return "?";
}

void printAnimation(std::ostream& out, const platform::AnimationRecord& record) {
  out << "animation: " << transitionName(record.transition);
  if (!record.transitionViewDescription.empty()) out << " of " << record.transitionViewDescription;
  if (record.cache) out << " (cached)";
  out << ", " << fixed(platform::toSeconds(record.duration)) << " s";
  // A view built inside the block records every property it was given; the last few changes
  // are the ones a user sees.
  constexpr std::size_t kShown = 2;
  std::size_t first = record.changes.size() > kShown ? record.changes.size() - kShown : 0;
  if (first > 0) out << "; ...";
  for (std::size_t i = first; i < record.changes.size(); ++i) {
    const auto& change = record.changes[i];
    out << "; " << change.viewDescription << " " << change.property << " " << change.value;
  }
  out << "\n";
}

const char* stateName(platform::ApplicationState state) {
  switch (state) {
    case platform::ApplicationState::Active:
      return "active";
    case platform::ApplicationState::Inactive:
      return "inactive";
    case platform::ApplicationState::Background:
      return "background";
  }
  return "?";
}

}  // namespace

platform::Result<void> Phone::selectTab(int oneBasedIndex) {
  auto tabs = tabBarController();
  if (!tabs) return refused("there is no tab bar on the screen");
  int count = static_cast<int>(tabs->viewControllers().size());
  if (oneBasedIndex < 1 || oneBasedIndex > count) {
    return refused("there is no tab " + std::to_string(oneBasedIndex) + " (tabs are 1 to " +
                   std::to_string(count) + ")");
  }
  tabs->userSelectTab(oneBasedIndex - 1);
  return {};
}

platform::Result<void> Phone::press(const std::string& label) {
  auto window = platform::Window::keyWindow();
  if (!window) return refused("there is no window on the screen");
  if (!window->tapButton(label)) {
    return refused("no button \"" + label + "\" can be tapped on the screen");
  }
  return {};
}

platform::Result<void> Phone::enterBackground() {
  if (!Application::shared()->enterBackground()) {
    return refused("the application is not in the foreground");
  }
  return {};
}

platform::Result<void> Phone::enterForeground() {
  if (!Application::shared()->enterForeground()) {
    return refused("the application is not in the background");
  }
  return {};
}

platform::Result<void> Phone::rotate(const std::string& orientation) {
  platform::InterfaceOrientation to;
  if (orientation == "portrait") {
    to = platform::InterfaceOrientation::Portrait;
  } else if (orientation == "landscape") {
    to = platform::InterfaceOrientation::LandscapeLeft;
  } else {
    return refused("rotate takes portrait or landscape, not \"" + orientation + "\"");
  }
  // The application may keep its orientation; the screen shows which one holds.
  Application::shared()->setDeviceOrientation(to);
  return {};
}

platform::Result<void> Phone::setNetwork(const std::string& kind) {
  platform::NetworkReachability reachability;
  if (kind == "wifi") {
    reachability = platform::NetworkReachability::WiFi;
  } else if (kind == "cellular") {
    reachability = platform::NetworkReachability::Cellular;
  } else if (kind == "none") {
    reachability = platform::NetworkReachability::None;
  } else {
    return refused("network takes wifi, cellular or none, not \"" + kind + "\"");
  }
  platform::DeviceProfile::current().setReachability(reachability);
  return {};
}

std::string Phone::screen() {
  std::ostringstream out;
  auto app = Application::shared();
  auto window = platform::Window::keyWindow();
  out << "screen " << platform::describeOrientation(app->statusBarOrientation()) << ", "
      << stateName(app->applicationState()) << ", at "
      << fixed(platform::toSeconds(platform::RunLoop::main().now().time_since_epoch())) << " s\n";
  if (!window) {
    out << "no window\n";
    return out.str();
  }
  if (auto tabs = tabBarController()) {
    printTabs(out, *tabs);
    if (auto selected = tabs->selectedViewController()) {
      out << "view: " << selected->className() << "\n";
      printTree(out, *selected->view(), "  ");
      for (const auto& banner : Banners::in(selected->view())) {
        out << "  " << banners_.describe(banner) << "\n";
      }
    }
  }
  std::vector<ZUVMraidController*> ads;
  for (const FullScreenAd* ad : {&interstitial_, &rewarded_}) {
    if (auto* mraid = ad->mraid()) ads.push_back(mraid);
  }
  FullScreens::print(out, std::move(ads));
  interstitial_.print(out);
  rewarded_.print(out);
  printPlaying(out);
  const auto& animations = platform::Harness::animationLog();
  if (animationsShown_ > animations.size()) animationsShown_ = 0;
  for (; animationsShown_ < animations.size(); ++animationsShown_) {
    printAnimation(out, animations[animationsShown_]);
  }
  for (const auto& url : app->openedURLs()) out << "opened: " << url << "\n";
  return out.str();
}

}  // namespace velour
