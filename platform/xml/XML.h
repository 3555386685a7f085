#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Result.h"

// Reads an XML document from an untrusted source into a small element tree, over expat. No
// document type declaration, hence no entity of its own, is accepted, and the size, the depth
// and the number of elements are capped, so a hostile document costs little. The ad client's
// video documents are its reader; nothing here knows their vocabulary.
namespace platform::xml {

inline constexpr const char* kXMLErrorDomain = "VelourXMLErrorDomain";
enum XMLErrorCode : long {
  kXMLErrorSyntax = 1,    // not well-formed
  kXMLErrorDoctype = 2,   // a DOCTYPE or an entity declaration
  kXMLErrorTooLarge = 3,  // past Limits::maxBytes
  kXMLErrorTooDeep = 4,   // past Limits::maxDepth
  kXMLErrorTooMany = 5,   // past Limits::maxElements
};

struct Limits {
  std::size_t maxBytes = std::size_t{1} << 20;
  std::size_t maxDepth = 64;
  std::size_t maxElements = 20000;
};

// One element: its name as written (prefix included), its attributes in document order, the
// character data directly inside it (CDATA sections too, child elements' text not), and its
// children.
struct Element {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::string text;
  std::vector<Element> children;
  int line = 0;  // where its start tag is

  // The attribute's value, or null.
  const std::string* attribute(std::string_view attributeName) const;
  // The first child of that name, or null.
  const Element* child(std::string_view childName) const;
  // Every child of that name, in order.
  std::vector<const Element*> childrenNamed(std::string_view childName) const;
};

// The root element of `text`. The error's message names the line where reading stopped.
Result<Element> parse(std::string_view text, const Limits& limits = {});

}  // namespace platform::xml
