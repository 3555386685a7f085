// What the fuzz targets share: the input as text, and the check that ends the run when a
// property does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzz {

inline std::string_view text(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

inline void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace fuzz
