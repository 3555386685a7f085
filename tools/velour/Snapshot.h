#pragma once

#include <string>

namespace velour {

// Writes a picture of the phone's visible screen to a PNG file, at the device's screen scale:
// the screen drawn as a page (ScreenPage) and shot by a web view of the screen's size that is
// shown nowhere. The driver's "snapshot" command calls it.
// An error text, empty on success. Missing folders on the way are created; a path that cannot
// be written is an error and leaves any file already there as it was.
[[nodiscard]] std::string writeSnapshot(const std::string& path);

}  // namespace velour
