// vozave: the developer's view of what the ad client reads and sends.
#include "app/main.h"

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/FileManager.h"
#include "tools/vozave/Command.h"
#include "vozave/Version.h"

namespace vozave {

namespace {

std::vector<Command> allCommands() {
  std::vector<Command> commands;
  // One group a line, so that new groups merge cleanly.
  const std::vector<std::vector<Command> (*)()> groups{
      jsonCommands,  urlCommands,     messageCommands, encodingCommands,
      fetchCommands, requestCommands, deviceCommands,  pageCommands,
      serveCommands, checkCommands,   vastCommands,
  };
  for (auto list : groups) {
    auto more = list();
    commands.insert(commands.end(), more.begin(), more.end());
  }
  return commands;
}

std::string usageText() {
  std::string text = "usage: vozave COMMAND [options]\nCommands:\n";
  for (const Command& command : allCommands()) text += command.usage;
  return text + "  help\n  --version\n";
}

}  // namespace

int usageError(const std::string& problem) {
  std::cerr << "vozave: " << problem << "\nRun \"vozave help\" for the commands and options.\n";
  return 2;
}

std::optional<std::string> readInput(const std::string& path) {
  auto bytes = platform::FileManager::defaultManager().readStream(path, kMaxInputBytes);
  std::string name = path == "-" ? "standard input" : path;
  if (!bytes && bytes.error().code == platform::kFileReadTooLarge) {
    std::cerr << "vozave: " << name << " is larger than " << (kMaxInputBytes >> 20)
              << " MiB, the most vozave reads\n";
    return std::nullopt;
  }
  if (!bytes) {
    std::cerr << "vozave: cannot read " << name << ": " << bytes.error().localizedDescription()
              << "\n";
    return std::nullopt;
  }
  return std::string(bytes->begin(), bytes->end());
}

platform::Error usageProblem(std::string problem) {
  return platform::Error::make("VozaveUsageErrorDomain", 1, std::move(problem));
}

}  // namespace vozave

int main(int argc, char** argv) {
  // What vozave shows and checks is what the soundboard would send and show.
  useSoundboardBundle();
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return vozave::usageError("which command?");
  std::string name = args.front();
  args.erase(args.begin());
  if (name == "--version") {
    std::cout << "vozave " << VOZAVE_VERSION_STRING << "\n";
    return 0;
  }
  if (name == "help" || name == "--help" || name == "-h") {
    std::cout << vozave::usageText();
    return 0;
  }
  for (const vozave::Command& command : vozave::allCommands()) {
    if (name == command.name) return command.run(args);
  }
  return vozave::usageError("unknown command " + name);
}
