#pragma once

#include "app/BoardViewController.h"

// Board 1: sixteen clips and a stop control.
class FirstViewController : public BoardViewController {
 public:
  FirstViewController();
};
