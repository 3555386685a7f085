#include <iostream>
#include <optional>
#include <utility>

#include "ads/support/GTMStringEncoding.h"
#include "platform/foundation/Result.h"
#include "tools/vozave/Command.h"

namespace vozave {

namespace {

struct NamedEncoding {
  const char* name;
  GTMStringEncoding (*make)();
};

const NamedEncoding kEncodings[] = {
    {"binary", GTMStringEncoding::binaryStringEncoding},
    {"hex", GTMStringEncoding::hexStringEncoding},
    {"base32", GTMStringEncoding::rfc4648Base32StringEncoding},
    {"base32hex", GTMStringEncoding::rfc4648Base32HexStringEncoding},
    {"crockford", GTMStringEncoding::crockfordBase32StringEncoding},
    {"base64", GTMStringEncoding::rfc4648Base64StringEncoding},
    {"base64url", GTMStringEncoding::rfc4648Base64WebsafeStringEncoding},
};

std::optional<GTMStringEncoding> encodingNamed(const std::string& name) {
  for (const NamedEncoding& entry : kEncodings) {
    if (name == entry.name) return entry.make();
  }
  return std::nullopt;
}

struct CodingArguments {
  std::optional<GTMStringEncoding> encoding;
  std::optional<std::string> text;  // absent: standard input
};

platform::Result<CodingArguments> parse(const std::string& command, const Arguments& args) {
  CodingArguments parsed;
  bool noPad = false;
  std::optional<std::string> name;
  for (const std::string& arg : args) {
    if (arg == "--no-pad") {
      noPad = true;
    } else if (arg.size() > 1 && arg.starts_with("--")) {
      return usageProblem("unknown option " + arg);
    } else if (!name) {
      name = arg;
    } else if (!parsed.text) {
      parsed.text = arg;
    } else {
      return usageProblem(command + " takes an encoding and at most one text");
    }
  }
  if (!name) return usageProblem(command + " needs an encoding");
  parsed.encoding = encodingNamed(*name);
  if (!parsed.encoding) return usageProblem("unknown encoding " + *name);
  if (noPad) parsed.encoding->setDoPad(false);
  return parsed;
}

int encode(const Arguments& args) {
  auto read = parse("encode", args);
  if (!read) return usageError(read.error().localizedDescription());
  const CodingArguments& parsed = *read;
  auto input = parsed.text ? parsed.text : readInput("-");
  if (!input) return 1;
  const std::string& bytes = *input;
  std::cout << parsed.encoding->encode(bytes) << "\n";
  return 0;
}

int decode(const Arguments& args) {
  auto read = parse("decode", args);
  if (!read) return usageError(read.error().localizedDescription());
  const CodingArguments& parsed = *read;
  auto input = parsed.text ? parsed.text : readInput("-");
  if (!input) return 1;
  std::string text = std::move(*input);
  // A line read from a terminal or a pipe ends in a line break that is no part of the text.
  if (!parsed.text && text.ends_with('\n')) text.pop_back();
  if (!parsed.text && text.ends_with('\r')) text.pop_back();
  auto bytes = parsed.encoding->decode(text);
  if (!bytes) {
    std::cerr << "vozave: " << bytes.error().localizedDescription() << "\n";
    return 1;
  }
  std::cout.write(bytes->data(), static_cast<std::streamsize>(bytes->size()));
  return 0;
}

}  // namespace

std::vector<Command> encodingCommands() {
  return {
      {"encode",
       "  encode ENCODING [--no-pad] [TEXT]\n"
       "      print TEXT (or standard input's bytes) in ENCODING: binary, hex, base32,\n"
       "      base32hex, crockford, base64 or base64url (the ad client's web-safe form)\n",
       encode},
      {"decode",
       "  decode ENCODING [TEXT]\n"
       "      write the bytes of TEXT (or of standard input's line) in ENCODING, unchanged\n",
       decode},
  };
}

}  // namespace vozave
