// Feeds arbitrary bytes to the interface resource parser and both builders.
#include <memory>

#include "fuzz/FuzzInput.h"
#include "platform/foundation/Log.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/InterfaceParser.h"
#include "platform/ui/Responder.h"
#include "platform/ui/View.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool quiet = [] {
    platform::setLogSink([](const std::string&) {});
    return true;
  }();
  (void)quiet;
  std::string_view text = fuzz::text(data, size);
  auto doc = platform::parseInterface(text, "fuzz.ui");
  if (!doc) return 0;
  auto owner = std::make_shared<platform::Responder>();
  if (auto root = platform::buildViewResource(*doc, owner)) {
    // Touching the built tree walks every view the file made.
    (*root)->hitTest({1, 1});
    (*root)->setFrame(platform::Rect(0, 0, 480, 300));
  }
  (void)platform::buildMainInterface(*doc, "");
  return 0;
}
