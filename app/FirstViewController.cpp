#include "app/FirstViewController.h"

FirstViewController::FirstViewController()
    : BoardViewController("FirstViewController",
                          {"Boing", "Zap", "Pop", "Whoosh", "Bonk", "Splat", "Ding", "Honk", "Boom",
                           "Squeak", "Yikes", "Wow", "Oops", "Hooray", "Ouch", "Yoohoo"}) {
  addAction("stop:", [this](const std::shared_ptr<platform::View>&) { stopPlayer(); });
}
