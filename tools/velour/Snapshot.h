#pragma once

#include <string>

#include "platform/foundation/Result.h"

namespace velour {

// Writes a picture of the phone's visible screen to a PNG file, at the device's screen scale:
// the screen drawn as a page (ScreenPage) and shot by a web view of the screen's size that is
// shown nowhere. The driver's "snapshot" command calls it.
// Missing folders on the way are created; a path that cannot be written is an error and leaves
// any file already there as it was.
platform::Result<void> writeSnapshot(const std::string& path);

}  // namespace velour
