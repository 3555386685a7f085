#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>

#include "ads/support/GTMStackTrace.h"
#include "platform/foundation/Backtrace.h"

// Outside the anonymous namespace so that the linker exports their names.
__attribute__((noinline)) std::string velourTraceHelperInner() {
  std::string trace = GTMStackTrace();
  asm volatile("");  // keeps the call from becoming a tail call
  return trace;
}
__attribute__((noinline)) std::string velourTraceHelperOuter() {
  std::string trace = velourTraceHelperInner();
  asm volatile("");
  return trace;
}
__attribute__((noinline)) int velourPlainFunction(int x) {
  return x * 3 + 1;
}

namespace {

const void* offset(const void* base, std::uintptr_t by) {
  return reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(base) + by);
}

class ClassListScope {
 public:
  explicit ClassListScope(platform::ClassListProvider provider)
      : previous_(platform::setClassListProvider(std::move(provider))) {}
  ~ClassListScope() { platform::setClassListProvider(std::move(previous_)); }

 private:
  platform::ClassListProvider previous_;
};

TEST(GTMStackTraceTest, TraceOfAKnownFunction) {
  std::string trace = velourTraceHelperOuter();
  ASSERT_FALSE(trace.empty());
  auto first = trace.substr(0, trace.find('\n'));
  EXPECT_EQ(first.substr(0, 4), "#0  ") << trace;
  EXPECT_NE(first.find("ads_tests"), std::string::npos) << trace;
  EXPECT_NE(first.find("velourTraceHelperInner[abi:cxx11]()()"), std::string::npos) << trace;
  EXPECT_NE(trace.find("velourTraceHelperOuter"), std::string::npos);
  EXPECT_EQ(trace.find("GTMStackTrace()"), std::string::npos);  // its own frame is left out
  EXPECT_NE(trace.back(), '\n');
}

TEST(GTMStackTraceTest, MethodsOfRuntimeClassesAndTheLinkerSymbols) {
  const void* function = reinterpret_cast<const void*>(&velourPlainFunction);
  ClassListScope scope([function] {
    return std::vector<platform::RuntimeClass>{
        {"ZUVFarAway", {{"far", offset(function, 0x100000)}}, {}},
        {"ZUVFake",
         {{"sharedThing", offset(function, 2)}},
         {{"doThing:", offset(function, 1)}, {"sameStart", function}}},
        {"ZUVLater", {}, {{"alsoSameStart", function}}},
    };
  });
  const void* addresses[] = {offset(function, 1), offset(function, 3), function,
                             reinterpret_cast<const void*>(0x10)};
  GTMStackAddressDescriptor descriptors[4];
  ASSERT_EQ(GTMGetStackAddressDescriptorsForAddresses(addresses, descriptors, 4), 4u);

  EXPECT_EQ(descriptors[0].symbol, "doThing:");
  EXPECT_EQ(descriptors[0].className, "ZUVFake");
  EXPECT_EQ(descriptors[1].symbol, "sharedThing");
  EXPECT_TRUE(descriptors[1].isClassMethod);
  // At the same distance as the linker's symbol and another class's method: the first stays.
  EXPECT_EQ(descriptors[2].symbol, "sameStart");
  EXPECT_EQ(descriptors[2].className, "ZUVFake");
  EXPECT_EQ(descriptors[3].symbol, "???");
  EXPECT_FALSE(descriptors[3].className);

  std::string text = GTMStackTraceFromAddressDescriptors(descriptors, 4);
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 4u) << text;
  EXPECT_NE(text.back(), '\n');
  EXPECT_TRUE(lines[0].ends_with(" -[ZUVFake doThing:]")) << lines[0];
  EXPECT_TRUE(lines[1].ends_with(" +[ZUVFake sharedThing]")) << lines[1];
  EXPECT_EQ(lines[3], "#3  ??                                  0x00000010 ?\?\?()");
  EXPECT_EQ(lines[0].find("ads_tests"), 4u);
  EXPECT_EQ(lines[0][39], ' ');  // the file name is padded to 35 characters

  // Without classes the linker names the address as a plain function.
  ClassListScope none(nullptr);
  ASSERT_EQ(GTMGetStackAddressDescriptorsForAddresses(addresses, descriptors, 1), 1u);
  EXPECT_EQ(descriptors[0].symbol, "velourPlainFunction(int)");
  EXPECT_FALSE(descriptors[0].className);
  EXPECT_TRUE(
      GTMStackTraceFromAddressDescriptors(descriptors, 1).ends_with(" velourPlainFunction(int)()"));

  EXPECT_EQ(GTMGetStackAddressDescriptorsForAddresses(nullptr, descriptors, 1), 0u);
  EXPECT_EQ(GTMGetStackAddressDescriptorsForAddresses(addresses, descriptors, 0), 0u);
}

}  // namespace
