#pragma once

#include <memory>

#include "platform/ui/ViewController.h"

// The information screen; its view and its "done" control come from FlipSideView.ui.
class FlipSideView : public platform::ViewController {
 public:
  static std::shared_ptr<FlipSideView> create() { return std::make_shared<FlipSideView>(); }
  FlipSideView();

  // Fades the screen out; its view stays where it is, fully transparent.
  void flipBack();
};
