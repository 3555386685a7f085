#pragma once

#include <optional>
#include <string_view>

#include "velourphone/Geometry.h"

// The platform's geometry (public) and the reader of a point typed on a command line, for
// the tools.
namespace platform {

// "X,Y": two finite numbers, with blanks around either; nothing for any other text.
std::optional<Point> pointFromText(std::string_view text);

}  // namespace platform
