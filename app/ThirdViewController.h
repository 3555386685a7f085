#pragma once

#include <memory>
#include <vector>

#include "app/BoardViewController.h"
#include "app/FlipSideView.h"

// Board 3: five clips and the control that flips in the information screen.
class ThirdViewController : public BoardViewController {
 public:
  ThirdViewController();

  // Flips a new information screen in over the board's view.
  void flipInfo();
  // Every information screen made so far, oldest first; each stays in the board's view.
  const std::vector<std::shared_ptr<FlipSideView>>& infoScreens() const { return infoScreens_; }

 private:
  std::vector<std::shared_ptr<FlipSideView>> infoScreens_;
};
