#include <charconv>
#include <iostream>
#include <optional>

#include "ads/support/ZUV_SBJSON.h"
#include "platform/foundation/Text.h"
#include "tools/vozave/Command.h"

namespace vozave {

namespace {

struct JsonOptions {
  bool pretty = false;
  bool sort = false;
  bool fragment = false;
  std::uint32_t maxDepth = ZUV_SBJSON::kDefaultMaxDepth;
  std::string file = "-";
};

std::optional<std::uint32_t> parseDepth(const std::string& text) {
  std::uint32_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// A deep text fails at every level it was in: the outermost errors and the root cause tell
// enough.
constexpr int kMaxErrorsShown = 16;

void printError(int level, const platform::Error& error) {
  std::cerr << std::string(2 * level, ' ') << "error " << error.code << ": "
            << platform::text::singleLine(error.localizedDescription()) << "\n";
}

void printErrorChain(const platform::Error& outermost) {
  std::optional<platform::Error> error = outermost;
  int level = 0;
  for (; error && level < kMaxErrorsShown; ++level) {
    printError(level, *error);
    error = ZUV_SBJSON::underlyingError(*error);
  }
  if (!error) return;
  int skipped = 0;
  for (auto next = ZUV_SBJSON::underlyingError(*error); next;
       next = ZUV_SBJSON::underlyingError(*next)) {
    error = next;
    ++skipped;
  }
  if (skipped > 0) {
    std::cerr << std::string(2 * level, ' ') << "... (the chain goes on for " << skipped
              << " levels)\n";
  }
  printError(level, *error);
}

int json(const Arguments& args) {
  JsonOptions options;
  bool haveFile = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--pretty") {
      options.pretty = true;
    } else if (arg == "--sort") {
      options.sort = true;
    } else if (arg == "--fragment") {
      options.fragment = true;
    } else if (arg == "--max-depth") {
      auto depth = i + 1 < args.size() ? parseDepth(args[i + 1]) : std::nullopt;
      if (!depth) {
        return usageError("--max-depth needs a whole number (0: the reader's own limit, " +
                          std::to_string(ZUV_SBJSON::kHardMaxDepth) + ")");
      }
      options.maxDepth = *depth;
      ++i;
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      return usageError("unknown option " + arg);
    } else if (haveFile) {
      return usageError("json reads one file");
    } else {
      options.file = arg;
      haveFile = true;
    }
  }
  auto text = readInput(options.file);
  if (!text) return 2;
  // The reader stops at a NUL byte; what follows it must not pass unread as part of the text.
  if (auto nul = text->find('\0'); nul != std::string::npos) {
    std::cerr << "vozave: the input holds a NUL byte at offset " << nul
              << ", which JSON text never does\n";
    return 1;
  }
  ZUV_SBJSON codec;
  codec.setHumanReadable(options.pretty);
  codec.setSortKeys(options.sort);
  codec.setMaxDepth(options.maxDepth);
  platform::Error error;
  auto value = codec.objectWithStringAllowScalarError(*text, options.fragment, &error);
  std::optional<std::string> written;
  if (value) written = codec.stringWithObjectAllowScalarError(*value, options.fragment, &error);
  if (!written) {
    printErrorChain(error);
    return 1;
  }
  std::cout << *written << "\n";
  return 0;
}

}  // namespace

std::vector<Command> jsonCommands() {
  return {
      {"json",
       "  json [--pretty] [--sort] [--fragment] [--max-depth N] [FILE]\n"
       "      read JSON from FILE (standard input without one or with \"-\") and write it "
       "back;\n"
       "      on an error print the chain of errors, outermost first, and exit 1; nesting\n"
       "      stops at N levels (default 512), and never goes past 4096, which 0 asks for\n",
       json},
  };
}

}  // namespace vozave
