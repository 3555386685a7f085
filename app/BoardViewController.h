#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ads/core/ZUVBannerView.h"
#include "platform/media/AudioPlayer.h"
#include "platform/ui/ViewController.h"

// What every sound board shares: one action per clip ("play" + the clip's name with an
// initial capital + ":"), the board's one current player, silence when its view goes, and a
// banner at its foot.
class BoardViewController : public platform::ViewController {
 public:
  BoardViewController(std::string className, std::vector<std::string> clipNames);

  // The action selector of a clip: "Boing" plays on "playBoing:".
  static std::string clipActionName(const std::string& clipName);
  const std::vector<std::string>& clipNames() const { return clipNames_; }

  // The board's current player; null until a clip has played, or after one failed to open.
  const std::shared_ptr<platform::AudioPlayer>& player() const { return player_; }
  // Stops the current player, then plays the clip `name` (type "m4a") from its beginning on
  // a new player.
  void playClip(const std::string& name);
  // Sends stop to the current player, if there is one.
  void stopPlayer();

  // The banner of the latest load of the board's view; null before.
  const std::shared_ptr<ZUVBannerView>& bannerView() const { return bannerView_; }
  // Places a new banner, which replaces the one of an earlier load.
  void viewDidLoad() override;

  // Stops playback; the superclass's implementation is not called.
  void viewWillDisappear(bool animated) override;

 private:
  std::vector<std::string> clipNames_;
  std::shared_ptr<platform::AudioPlayer> player_;
  std::shared_ptr<ZUVBannerView> bannerView_;
};
