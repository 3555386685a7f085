#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Result.h"

// A `vozave check --script FILE` walk: velour's commands that act on one ad on a bare screen,
// one a line ("#" starts a comment). The check command reads it whole before anything runs, so
// that a bad script ends as bad usage; the walk then runs it between the load and the unload.
namespace vozave {

struct ScriptCommand {
  std::string verb;  // wait, tap, done, close, back, forward, reload, rotate, background,
                     // foreground, network
  std::string argument;
  int line = 0;
  // A wait's argument as seconds.
  std::optional<double> seconds() const;
};

// The commands of `text`, or the first problem with its line number.
platform::Result<std::vector<ScriptCommand>> parseCheckScript(std::string_view text);

// The longest single wait a script may ask for, in seconds.
inline constexpr double kMaxScriptWait = 600;
// The most commands a script may hold: each is a step of the walk with its picture.
inline constexpr std::size_t kMaxScriptCommands = 200;

}  // namespace vozave
