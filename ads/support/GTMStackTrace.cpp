#include "ads/support/GTMStackTrace.h"

#include <cstdint>
#include <cstdio>
#include <limits>
#include <vector>

#include "platform/foundation/Backtrace.h"

namespace {

struct MethodMatch {
  std::uintptr_t distance = std::numeric_limits<std::uintptr_t>::max();
  const platform::RuntimeClass* owner = nullptr;
  const platform::RuntimeMethod* method = nullptr;
  bool isClassMethod = false;
};

std::uintptr_t toInteger(const void* pointer) {
  return reinterpret_cast<std::uintptr_t>(pointer);
}

// Only a strictly nearer method replaces the best, so of equal distances the first met stays.
void searchMethods(const platform::RuntimeClass& owner,
                   const std::vector<platform::RuntimeMethod>& methods, bool isClassMethod,
                   std::uintptr_t address, MethodMatch& best) {
  for (const auto& method : methods) {
    std::uintptr_t start = toInteger(method.implementation);
    if (start > address || address - start >= best.distance) continue;
    best = {address - start, &owner, &method, isClassMethod};
  }
}

std::string lastPathComponent(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "0x" and at least eight hexadecimal digits, zero padded.
std::string addressText(const void* address) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%08jx", static_cast<std::uintmax_t>(toInteger(address)));
  std::string text = "0x";
  text += digits;
  return text;
}

std::string lineFor(std::size_t n, const GTMStackAddressDescriptor& descriptor) {
  std::string file = descriptor.fileName ? lastPathComponent(*descriptor.fileName) : "??";
  char head[64];
  std::snprintf(head, sizeof head, "#%-2zu ", n);
  std::string line = head;
  line += file;
  if (file.size() < 35) line.append(35 - file.size(), ' ');
  line += " " + addressText(descriptor.address) + " ";
  const std::string symbol = descriptor.symbol.empty() ? "??" : descriptor.symbol;
  if (descriptor.className) {
    return line + (descriptor.isClassMethod ? "+" : "-") + "[" + *descriptor.className + " " +
           symbol + "]";
  }
  return line + symbol + "()";
}

}  // namespace

std::size_t GTMGetStackAddressDescriptorsForAddresses(const void* const* addresses,
                                                      GTMStackAddressDescriptor* descriptors,
                                                      std::size_t count) {
  if (!addresses || !descriptors || count == 0) return 0;
  const std::vector<platform::RuntimeClass> classes = platform::runtimeClassList();
  for (std::size_t i = 0; i < count; ++i) {
    GTMStackAddressDescriptor& descriptor = descriptors[i];
    descriptor = GTMStackAddressDescriptor{};
    descriptor.address = addresses[i];
    std::uintptr_t address = toInteger(addresses[i]);

    MethodMatch best;
    for (const auto& owner : classes) {
      searchMethods(owner, owner.classMethods, true, address, best);
      searchMethods(owner, owner.instanceMethods, false, address, best);
    }
    if (best.method) {
      descriptor.symbol = best.method->name;
      descriptor.className = best.owner->name;
      descriptor.isClassMethod = best.isClassMethod;
    }

    platform::SymbolLookup linker = platform::lookupAddress(addresses[i]);
    std::uintptr_t start = toInteger(linker.symbolAddress);
    if (start <= address && address - start < best.distance) {
      descriptor.symbol = linker.symbolName.value_or("");
      descriptor.className.reset();
      descriptor.isClassMethod = false;
    }
    descriptor.fileName = linker.imagePath;
    if (descriptor.symbol.empty()) {
      descriptor.symbol = "???";
      descriptor.className.reset();
      descriptor.isClassMethod = false;
    }
  }
  return count;
}

std::string GTMStackTraceFromAddressDescriptors(const GTMStackAddressDescriptor* descriptors,
                                                std::size_t count) {
  std::string text;
  for (std::size_t n = 0; descriptors && n < count; ++n) {
    if (n > 0) text += '\n';
    text += lineFor(n, descriptors[n]);
  }
  return text;
}

__attribute__((noinline)) std::string GTMStackTrace() {
  std::vector<const void*> addresses = platform::callStackReturnAddresses();
  if (addresses.empty()) return {};
  std::vector<GTMStackAddressDescriptor> descriptors(addresses.size());
  std::size_t count = GTMGetStackAddressDescriptorsForAddresses(
      addresses.data(), descriptors.data(), addresses.size());
  if (count <= 1) return {};
  // The first frame is this function's own.
  return GTMStackTraceFromAddressDescriptors(descriptors.data() + 1, count - 1);
}
