// Reads arbitrary text as a `vozave check --script`: no crash, and every command read is one
// the walk knows, within the script's bounds.
#include "fuzz/FuzzInput.h"
#include "tools/vozave/CheckScript.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto script = vozave::parseCheckScript(fuzz::text(data, size));
  if (!script) return 0;
  fuzz::require(!script->empty() && script->size() <= vozave::kMaxScriptCommands);
  for (const auto& command : *script) {
    fuzz::require(!command.verb.empty() && command.line > 0);
    if (command.verb == "wait") {
      auto seconds = command.seconds();
      fuzz::require(seconds && *seconds >= 0 && *seconds <= vozave::kMaxScriptWait);
    }
  }
  return 0;
}
