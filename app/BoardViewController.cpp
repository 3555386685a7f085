#include "app/BoardViewController.h"

#include <cctype>

#include "app/BannerPlacement.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/URL.h"

BoardViewController::BoardViewController(std::string className, std::vector<std::string> clipNames)
    : ViewController(std::move(className)), clipNames_(std::move(clipNames)) {
  for (const auto& clip : clipNames_) {
    addAction(clipActionName(clip),
              [this, clip](const std::shared_ptr<platform::View>&) { playClip(clip); });
  }
}

std::string BoardViewController::clipActionName(const std::string& clipName) {
  std::string name = clipName;
  if (!name.empty()) name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
  return "play" + name + ":";
}

void BoardViewController::viewDidLoad() {
  ViewController::viewDidLoad();
  bannerView_ = placeBanner(*this);
}

void BoardViewController::playClip(const std::string& name) {
  stopPlayer();
  auto path = platform::Bundle::main().pathForResourceOfType(name, "m4a");
  if (!path) {
    // A clip missing from the bundle leaves the board silent rather than crashing it.
    platform::log("clip not found: " + name + ".m4a");
    player_.reset();
    return;
  }
  // A file the player cannot open leaves no current player; the user hears nothing.
  player_ = platform::AudioPlayer::createWithContentsOfURL(platform::URL::fileURLWithPath(*path));
  if (player_) player_->play();
}

void BoardViewController::stopPlayer() {
  if (player_) player_->stop();
}

void BoardViewController::viewWillDisappear(bool) {
  stopPlayer();
}
