// Decodes arbitrary text as a property list; what decodes must encode to text that decodes to
// the same value and encodes to the same text again.
#include <cmath>

#include "fuzz/FuzzInput.h"
#include "platform/foundation/PropertyList.h"

namespace {

// Value equality, except that a NaN matches a NaN.
bool same(const platform::Value& a, const platform::Value& b) {
  using Kind = platform::Value::Kind;
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case Kind::Real:
      return (std::isnan(a.doubleValue()) && std::isnan(b.doubleValue())) || a == b;
    case Kind::Array: {
      const auto &x = a.arrayValue(), &y = b.arrayValue();
      if (x.size() != y.size()) return false;
      for (std::size_t i = 0; i < x.size(); ++i) {
        if (!same(x[i], y[i])) return false;
      }
      return true;
    }
    case Kind::Dictionary: {
      const auto &x = a.dictionaryValue(), &y = b.dictionaryValue();
      if (x.keys() != y.keys()) return false;
      for (const auto& [key, value] : x) {
        if (!same(value, *y.find(key))) return false;
      }
      return true;
    }
    default:
      return a == b;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  auto value = platform::decodePropertyList(text);
  if (!value) return 0;
  std::string encoded = platform::encodePropertyList(*value);
  auto again = platform::decodePropertyList(encoded);
  if (!again || !same(*value, *again) || platform::encodePropertyList(*again) != encoded) abort();
  return 0;
}
