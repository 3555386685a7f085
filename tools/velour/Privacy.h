#pragma once

#include <ostream>
#include <string>

#include "platform/foundation/Result.h"

// velour's privacy commands: "defaults" reads and writes the phone's key-value store as a
// consent tool would, and "consent" prints what the next ad request carries and withholds.
namespace velour {

// "read KEY", "write KEY VALUE" (a whole number is stored as a number, anything else, or a
// value in double quotes, as text) or "delete KEY".
platform::Result<void> runDefaults(const std::string& argument, std::ostream& out);
void printConsent(std::ostream& out);

}  // namespace velour
