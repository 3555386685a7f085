#include <charconv>
#include <iostream>
#include <optional>

#include "ads/core/ZUVRequestPrivate.h"
#include "ads/support/ZUVMacros.h"
#include "ads/support/ZUVNetworkChecker.h"
#include "ads/support/ZUVParameterKeys.h"
#include "ads/support/ZUVStatistics.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Result.h"
#include "platform/foundation/RunLoop.h"
#include "tools/vozave/Command.h"

namespace vozave {

namespace {

// YYYY-MM-DD into the request's birthday; false for any other text.
bool setBirthday(ZUVRequestPrivate& request, const std::string& text) {
  int year = 0, month = 0, day = 0;
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  auto number = [&](std::size_t at, std::size_t length, int& out) {
    auto [end, error] = std::from_chars(text.data() + at, text.data() + at + length, out);
    return error == std::errc() && end == text.data() + at + length;
  };
  if (!number(0, 4, year) || !number(5, 2, month) || !number(8, 2, day)) return false;
  if (month < 1 || month > 12 || day < 1 || day > 31) return false;
  request.setBirthdayWithMonthDayYear(month, day, year);
  return true;
}

struct RequestOptions {
  std::optional<float> lat, lng, acc;
  std::string slot = "vozave-demo-unit";
};

// Applies one option that takes a value; an empty result means it was taken.
platform::Result<void> applyValueOption(ZUVRequestPrivate& request, RequestOptions& options,
                                        const std::string& name, const std::string& value) {
  if (name == "--gender") {
    if (value != "m" && value != "f") return usageProblem("--gender takes m or f");
    request.setGender(value == "m" ? 1 : 2);
  } else if (name == "--birthday") {
    if (!setBirthday(request, value)) return usageProblem("--birthday takes YYYY-MM-DD");
  } else if (name == "--keyword") {
    request.addKeyword(value);
  } else if (name == "--location") {
    request.setLocationWithDescription(value);
  } else if (name == "--extra") {
    auto equals = value.find('=');
    if (equals == std::string::npos || equals == 0) return usageProblem("--extra takes KEY=VALUE");
    platform::Dictionary extras = request.additionalParameters().value_or(platform::Dictionary());
    extras.set(value.substr(0, equals), value.substr(equals + 1));
    request.setAdditionalParameters(std::move(extras));
  } else if (name == "--lat" || name == "--lng" || name == "--acc") {
    auto number = parseFinite<float>(value);
    if (!number) return usageProblem(name + " takes a number");
    (name == "--lat" ? options.lat : name == "--lng" ? options.lng : options.acc) = number;
  } else if (name == "--slot") {
    options.slot = value;
  } else if (name == "--home") {
    platform::FileManager::defaultManager().setHomeDirectory(value);
  } else {
    return usageProblem("unknown option " + name);
  }
  return {};
}

int request(const Arguments& args) {
  auto request = std::make_shared<ZUVRequestPrivate>();
  RequestOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--testing") {
      request->setTesting(true);
      continue;
    }
    if (i + 1 >= args.size()) return usageError(args[i] + " needs a value");
    auto applied = applyValueOption(*request, options, args[i], args[i + 1]);
    if (!applied) return usageError(applied.error().localizedDescription());
    ++i;
  }
  bool anyCoordinate = options.lat || options.lng || options.acc;
  if (anyCoordinate && !(options.lat && options.lng && options.acc)) {
    return usageError("--lat, --lng and --acc go together");
  }
  if (anyCoordinate && request->location()) return usageError("--location or coordinates");
  if (anyCoordinate) {
    request->setLocationWithLatitudeLongitudeAccuracy(*options.lat, *options.lng, *options.acc);
  }
  // A running client has heard from reachability by the time it loads an ad.
  ZUVNetworkChecker::sharedChecker();
  platform::RunLoop::main().runOnce();
  // The next load's number; the statistics are read, not taken, so inspecting changes nothing.
  request->setCounter(ZUVStatistics::sharedStatistics().adRequestCount() + 1);
  platform::Dictionary parameters = request->currentParameters();
  if (!options.slot.empty()) parameters.set(kZUVParameterAdSlotID, options.slot);
  parameters.set(kZUVParameterAdFrame,
                 platform::Dictionary{{"x", 0}, {"y", 361}, {"w", 320}, {"h", 50}});
  std::string json = ZUVMacros::jsonify(platform::Value(parameters)).value_or("");
  if (json.empty()) {
    std::cerr << "vozave: the request could not be written as JSON\n";
    return 1;
  }
  std::cout << json << "\n";
  return 0;
}

}  // namespace

std::vector<Command> requestCommands() {
  return {
      {"request",
       "  request [--testing] [--gender m|f] [--birthday YYYY-MM-DD] [--keyword K]...\n"
       "          [--lat N --lng N --acc N | --location TEXT] [--extra K=V]... [--slot ID]\n"
       "          [--home DIR]\n"
       "      print the JSON text handed to the ad-building script for such a request from a\n"
       "      320x50 banner at (0, 361) on this device; the statistics are left as they are\n",
       request},
  };
}

}  // namespace vozave
