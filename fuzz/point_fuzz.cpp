// Reads arbitrary text as a point "X,Y": no crash, only finite coordinates, and a point read
// is read again from its own description.
#include <cmath>

#include "fuzz/FuzzInput.h"
#include "platform/ui/Geometry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto point = platform::pointFromText(fuzz::text(data, size));
  if (!point) return 0;
  fuzz::require(std::isfinite(point->x) && std::isfinite(point->y));
  fuzz::require(platform::pointFromText(platform::describeNumber(point->x) + "," +
                                        platform::describeNumber(point->y))
                    .has_value());
  return 0;
}
