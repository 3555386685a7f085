// Hostile bytes through the clip duration reader: it must answer or refuse, never overrun.
#include <cmath>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "platform/media/Mp4.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  if (auto duration = platform::mp4Duration(bytes)) {
    if (!(*duration >= 0) || std::isinf(*duration)) std::abort();
  }
  return 0;
}
