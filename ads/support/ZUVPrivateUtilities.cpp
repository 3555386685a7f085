#include "ads/support/ZUVPrivateUtilities.h"

#include <unordered_map>
#include <utility>

namespace {

// Kept for the life of the process and never destroyed: companions still registered at exit
// (the banners of screens that live until then) would otherwise go during static destruction,
// after the notification centres that they leave as they go.
std::unordered_map<const void*, std::shared_ptr<void>>& table() {
  static auto* entries = new std::unordered_map<const void*, std::shared_ptr<void>>();
  return *entries;
}

}  // namespace

void ZUVPrivateUtilities::setPrivateObjectForKey(std::shared_ptr<void> value, const void* key) {
  if (!key) return;
  if (!value) {
    removePrivateObjectForKey(key);
    return;
  }
  table()[key] = std::move(value);
}

std::shared_ptr<void> ZUVPrivateUtilities::privateObjectForKey(const void* key) {
  auto found = table().find(key);
  return found == table().end() ? nullptr : found->second;
}

void ZUVPrivateUtilities::removePrivateObjectForKey(const void* key) {
  // The value may own objects that use the table as they go, so it dies after the erase.
  std::shared_ptr<void> value;
  if (auto found = table().find(key); found != table().end()) {
    value = std::move(found->second);
    table().erase(found);
  }
}
