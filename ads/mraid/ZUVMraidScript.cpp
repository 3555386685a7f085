#include "ads/mraid/ZUVMraidScript.h"

#include "ads/support/ZUV_SBJSON.h"

namespace {

constexpr std::string_view kBridgeSource =
#include "ads/mraid/ZUVMraidBridgeScript.inc"
    ;

}  // namespace

std::string_view ZUVMraidScript::bridgeSource() {
  return kBridgeSource;
}

std::string ZUVMraidScript::documentStart(const std::optional<platform::Dictionary>& environment,
                                          bool interstitial) {
  std::string script;
  if (interstitial) script = "window.__vozaveMraidPlacement = \"interstitial\";\n";
  if (environment) {
    if (auto json = literal(platform::Value(*environment))) {
      script += "window.MRAID_ENV = " + *json + ";\n";
    }
  }
  script += kBridgeSource;
  return script;
}

std::optional<std::string> ZUVMraidScript::literal(const platform::Value& value) {
  ZUV_SBJSON writer;
  std::optional<std::string> json = writer.stringWithFragmentError(value);
  if (!json) return std::nullopt;
  return ZUV_SBJSON::scriptSafe(*json);
}

std::optional<std::string> ZUVMraidScript::update(const platform::Dictionary& change) {
  std::optional<std::string> json = literal(platform::Value(change));
  if (!json) return std::nullopt;
  return "window.__vozaveMraid && window.__vozaveMraid.update(" + *json + ");";
}
