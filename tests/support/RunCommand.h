#pragma once

#include <string>

namespace velour_test {

struct CommandResult {
  int status = -1;  // the exit status, or -1 when the program did not exit normally
  std::string out;
};

enum class StandardError { Merged, Dropped };

// Runs `program args` through the shell with `input` on standard input, as a developer would
// at a terminal.
CommandResult runCommand(const std::string& program, const std::string& args,
                         const std::string& input = "",
                         StandardError errors = StandardError::Merged);

}  // namespace velour_test
