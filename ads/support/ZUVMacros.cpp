#include "ads/support/ZUVMacros.h"

#include "ads/support/ZUV_SBJSON.h"

std::optional<std::string> ZUVMacros::jsonify(const std::optional<platform::Value>& object) {
  if (!object) return std::nullopt;
  ZUV_SBJSON writer;
  return writer.stringWithObjectError(*object).value_or(std::string());
}
