#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The return addresses of the calling thread's stack, innermost first: the first is in the
// function that called this one.
std::vector<const void*> callStackReturnAddresses();

// What the dynamic linker knows of an address: the image that holds it and the nearest
// symbol at or below it, demangled where it is a C++ name.
struct SymbolLookup {
  std::optional<std::string> imagePath;
  std::optional<std::string> symbolName;
  const void* symbolAddress = nullptr;
};
SymbolLookup lookupAddress(const void* address);

// The object runtime's classes with their methods' names and entry addresses. This platform
// has no such runtime, so the list is empty unless a provider (a test) fills it.
struct RuntimeMethod {
  std::string name;
  const void* implementation = nullptr;
};
struct RuntimeClass {
  std::string name;
  std::vector<RuntimeMethod> classMethods;
  std::vector<RuntimeMethod> instanceMethods;
};
using ClassListProvider = std::function<std::vector<RuntimeClass>()>;

std::vector<RuntimeClass> runtimeClassList();
// An empty provider restores the platform's own (no classes). Returns the previous one.
ClassListProvider setClassListProvider(ClassListProvider provider);

}  // namespace platform
