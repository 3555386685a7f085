#pragma once

#include <charconv>
#include <cmath>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"

namespace vozave {

using Arguments = std::vector<std::string>;

// One subcommand: its name, its lines of the usage text, and what it does. `run` returns the
// exit status: 0 done, 1 the input was refused, 2 a usage error.
struct Command {
  const char* name;
  const char* usage;
  int (*run)(const Arguments& args);
};

// Prints the problem and where help is to standard error; returns 2.
int usageError(const std::string& problem);
// The most a command reads of a file or of standard input.
inline constexpr std::size_t kMaxInputBytes = std::size_t{16} << 20;
// The whole of a command's input (a file, or standard input for "-"); nothing after a line on
// standard error that says why not.
std::optional<std::string> readInput(const std::string& path);
// A refused command line, the problem as the message, from a reader of a command's options.
platform::Error usageProblem(std::string problem);

// The whole of `text` as a finite number (double or float), or nothing.
template <typename Number>
std::optional<Number> parseFinite(const std::string& text) {
  Number value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// Each file of commands lists its own; main.cpp puts the lists together.
std::vector<Command> jsonCommands();
std::vector<Command> urlCommands();
std::vector<Command> messageCommands();
std::vector<Command> encodingCommands();
std::vector<Command> fetchCommands();
std::vector<Command> requestCommands();
std::vector<Command> deviceCommands();
std::vector<Command> pageCommands();
std::vector<Command> serveCommands();
std::vector<Command> checkCommands();
std::vector<Command> vastCommands();

}  // namespace vozave
