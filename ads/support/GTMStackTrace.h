#pragma once

#include <cstddef>
#include <optional>
#include <string>

// One return address of a call stack and what is known of it.
struct GTMStackAddressDescriptor {
  const void* address = nullptr;
  std::string symbol;                    // "???" when nothing names the address
  std::optional<std::string> className;  // set when the symbol is a method
  bool isClassMethod = false;
  std::optional<std::string> fileName;  // path of the image that holds the address
};

// The caller's call stack, one line per frame numbered from 0; empty when there is at most
// the frame of this function.
std::string GTMStackTrace();

// Names each address by the nearest method of a runtime class at or below it or, when the
// dynamic linker's symbol is nearer, by that symbol. Returns `count`, or 0 when an argument
// is missing.
std::size_t GTMGetStackAddressDescriptorsForAddresses(const void* const* addresses,
                                                      GTMStackAddressDescriptor* descriptors,
                                                      std::size_t count);

// One line per descriptor, separated by line feeds:
// "#0  libfoo.so                           0x7f0012345678 -[Class method]" or "... symbol()".
std::string GTMStackTraceFromAddressDescriptors(const GTMStackAddressDescriptor* descriptors,
                                                std::size_t count);
