#pragma once

#include <functional>

#include "platform/foundation/Registration.h"

// How much of an ad a person can see (0 ... 100), and a watch that calls back after that may
// have changed. The ad controller makes one from its banner's exposure; its refresh schedule
// (the viewable refresh) and its impression watch read it.
struct ZUVAdSight {
  std::function<double()> percentSeen;
  std::function<platform::Registration(std::function<void()>)> watch;
};
