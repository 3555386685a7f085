#pragma once

#include <memory>

// The process-wide side table from a public object to its private companion. Keys are the
// public objects' addresses, never retained; their owners remove them before they go. Values
// are kept alive while they are in the table.
class ZUVPrivateUtilities {
 public:
  // A null value removes the entry; a null key is ignored.
  static void setPrivateObjectForKey(std::shared_ptr<void> value, const void* key);
  static std::shared_ptr<void> privateObjectForKey(const void* key);
  static void removePrivateObjectForKey(const void* key);
};
