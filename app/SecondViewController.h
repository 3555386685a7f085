#pragma once

#include "app/BoardViewController.h"

// Board 2: five animal clips.
class SecondViewController : public BoardViewController {
 public:
  SecondViewController();
};
