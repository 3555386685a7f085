#include "tools/vozave/CheckScript.h"

#include <algorithm>

#include "platform/foundation/Text.h"
#include "platform/ui/Geometry.h"
#include "tools/vozave/Command.h"

namespace vozave {

namespace {

platform::Error scriptProblem(std::string problem) {
  return platform::Error::make("VozaveCheckScriptErrorDomain", 1, std::move(problem));
}

// What each verb takes: nothing, or one of a few words, or a number or point checked below.
bool takesNoArgument(std::string_view verb) {
  static constexpr std::string_view kBare[] = {"done",   "close",      "back",      "forward",
                                               "reload", "background", "foreground"};
  return std::find(std::begin(kBare), std::end(kBare), verb) != std::end(kBare);
}

std::optional<std::string> problemWith(const ScriptCommand& command) {
  const std::string& verb = command.verb;
  const std::string& argument = command.argument;
  if (takesNoArgument(verb)) {
    if (!argument.empty()) return verb + " takes nothing";
    return std::nullopt;
  }
  if (verb == "wait") {
    auto seconds = parseFinite<double>(argument);
    if (!seconds || *seconds < 0 || *seconds > kMaxScriptWait) {
      return "wait takes seconds from 0 to " + std::to_string(static_cast<int>(kMaxScriptWait));
    }
  } else if (verb == "tap") {
    // At the ad's centre, or at a point in it ("tap 10,20"; velour's "tap banner 10,20").
    std::string_view at = argument;
    if (at.starts_with("banner")) at = platform::text::trimmed(at.substr(6));
    if (!at.empty() && !platform::pointFromText(at)) return "tap takes nothing or a point X,Y";
  } else if (verb == "rotate") {
    if (argument != "portrait" && argument != "landscape") {
      return "rotate takes portrait or landscape";
    }
  } else if (verb == "network") {
    if (argument != "wifi" && argument != "cellular" && argument != "none") {
      return "network takes wifi, cellular or none";
    }
  } else {
    return "unknown command \"" + platform::text::singleLine(verb) +
           "\" (a check script takes wait, tap, done, close, back, forward, reload, rotate, "
           "background, foreground and network)";
  }
  return std::nullopt;
}

}  // namespace

std::optional<double> ScriptCommand::seconds() const {
  return parseFinite<double>(argument);
}

platform::Result<std::vector<ScriptCommand>> parseCheckScript(std::string_view text) {
  std::vector<ScriptCommand> commands;
  int number = 0;
  while (!text.empty()) {
    ++number;
    const auto end = text.find('\n');
    std::string_view line = platform::text::trimmed(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line.front() == '#') continue;
    const auto [verb, argument] = platform::text::firstWord(line);
    ScriptCommand command;
    command.verb = std::string(verb);
    command.argument = std::string(argument);
    command.line = number;
    if (auto problem = problemWith(command)) {
      return scriptProblem("the script's line " + std::to_string(number) + ": " + *problem);
    }
    if (commands.size() == kMaxScriptCommands) {
      return scriptProblem("the script has more than " + std::to_string(kMaxScriptCommands) +
                           " commands");
    }
    commands.push_back(std::move(command));
  }
  if (commands.empty()) return scriptProblem("the script has no commands");
  return commands;
}

}  // namespace vozave
