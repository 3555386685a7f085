#include "platform/foundation/Backtrace.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>

#include <cstdlib>
#include <memory>

namespace platform {

namespace {

constexpr int kMaxFrames = 256;

ClassListProvider& provider() {
  static ClassListProvider current;
  return current;
}

std::string demangled(const char* name) {
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> text(
      abi::__cxa_demangle(name, nullptr, nullptr, &status), std::free);
  return status == 0 && text ? std::string(text.get()) : std::string(name);
}

}  // namespace

__attribute__((noinline)) std::vector<const void*> callStackReturnAddresses() {
  void* frames[kMaxFrames];
  int count = ::backtrace(frames, kMaxFrames);
  // Start at the caller's frame: the ones above it are this function's own and, where a
  // sanitizer wraps backtrace(), the wrapper's.
  const void* caller = __builtin_return_address(0);
  int first = 1;
  for (int i = 0; i < count; ++i) {
    if (frames[i] == caller) {
      first = i;
      break;
    }
  }
  std::vector<const void*> addresses;
  for (int i = first; i < count; ++i) addresses.push_back(frames[i]);
  return addresses;
}

SymbolLookup lookupAddress(const void* address) {
  Dl_info info{};
  SymbolLookup lookup;
  if (::dladdr(address, &info) == 0) return lookup;
  if (info.dli_fname) lookup.imagePath = info.dli_fname;
  if (info.dli_sname) lookup.symbolName = demangled(info.dli_sname);
  lookup.symbolAddress = info.dli_saddr;
  return lookup;
}

std::vector<RuntimeClass> runtimeClassList() {
  return provider() ? provider()() : std::vector<RuntimeClass>{};
}

ClassListProvider setClassListProvider(ClassListProvider next) {
  ClassListProvider previous = std::move(provider());
  provider() = std::move(next);
  return previous;
}

}  // namespace platform
