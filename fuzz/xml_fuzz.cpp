// Reads arbitrary bytes as XML: every input ends in a tree or an error, and a tree never nests
// deeper than the cap.
#include "fuzz/FuzzInput.h"
#include "platform/xml/XML.h"

namespace {

std::size_t depth(const platform::xml::Element& element) {
  std::size_t deepest = 0;
  for (const auto& child : element.children) deepest = std::max(deepest, depth(child));
  return deepest + 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::xml::Limits limits;
  limits.maxDepth = 16;
  auto tree = platform::xml::parse(fuzz::text(data, size), limits);
  if (tree) fuzz::require(depth(*tree) <= limits.maxDepth);
  return 0;
}
