#pragma once

#include <string>

class ZUVNumberUtilities {
 public:
  // Six decimals at most, trailing zeros and a bare "." dropped: 320, 1.5, 0, -2.5.
  static std::string stringWithFloat(float value);
};
