#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Result.h"

namespace platform {

inline constexpr const char* kInterfaceErrorDomain = "VelourInterfaceErrorDomain";
enum InterfaceErrorCode {
  kInterfaceSyntaxError = 1,
  kInterfaceContentError = 2,
  kInterfaceFileError = 3
};

// One line of an interface resource: a kind and its key=value attributes, in order.
struct InterfaceElement {
  std::string kind;
  int line = 0;
  std::vector<std::pair<std::string, std::string>> attributes;

  const std::string* attribute(std::string_view key) const;
};

struct InterfaceDocument {
  std::string fileName;
  std::vector<InterfaceElement> elements;
};

// Limits that keep a hostile file from taking the process's memory.
inline constexpr std::size_t kInterfaceMaxBytes = 1 << 20;
inline constexpr std::size_t kInterfaceMaxElements = 4096;

// Parses the line format described in docs/INTERFACE.md. For text that is not well formed, an
// error whose message is "<file>:<line>: <what is wrong>".
Result<InterfaceDocument> parseInterface(std::string_view text, const std::string& fileName);

// An error of the interface domain located at `line` of `fileName` (0: the whole file).
Error interfaceError(InterfaceErrorCode code, const std::string& fileName, int line,
                     const std::string& what);

}  // namespace platform
