#include <iostream>
#include <optional>

#include "ads/support/GTMStringEncoding.h"
#include "ads/support/ZUVIdentifierUtilities.h"
#include "ads/support/ZUVLocation.h"
#include "ads/support/ZUV_SBJSON.h"
#include "platform/device/Device.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Text.h"
#include "tools/vozave/Command.h"

namespace vozave {

namespace {

std::string textOf(const platform::Value& value) {
  if (value.isString()) return value.stringValue();
  ZUV_SBJSON json;
  json.setSortKeys(false);
  return json.stringWithFragmentError(value, nullptr).value_or("?");
}

int device(const Arguments& args) {
  auto& profile = platform::DeviceProfile::current();
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (i + 1 >= args.size() || (arg != "--home" && arg != "--device")) {
      return usageError(arg == "--home" || arg == "--device" ? arg + " needs a value"
                                                             : "unknown option " + arg);
    }
    const std::string& value = args[++i];
    if (arg == "--home") {
      platform::FileManager::defaultManager().setHomeDirectory(value);
      continue;
    }
    auto equals = value.find('=');
    if (equals == std::string::npos) return usageError("--device takes KEY=VALUE");
    auto set = profile.setValueForKey(value.substr(0, equals), value.substr(equals + 1));
    if (!set) return usageError(set.error().localizedDescription());
  }
  for (const auto& [key, value] : ZUVIdentifierUtilities::sharedInstance().parameters()) {
    std::cout << key << "=" << textOf(value) << "\n";
  }
  return 0;
}

struct UuleOptions {
  std::optional<double> lat, lng, acc, time;
  std::optional<std::string> description, decode;
  bool record = false;
};

int decodeUule(const std::string& text) {
  auto decoded = ZUVLocation::decodeOolongRepresentation(text);
  if (!decoded) {
    std::cerr << "vozave: not a location encoded by this client\n";
    return 1;
  }
  std::cout << decoded->record << "\nvector " << platform::text::hexString(decoded->vector) << "\n";
  return 0;
}

int uule(const Arguments& args) {
  UuleOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--record") {
      options.record = true;
      continue;
    }
    if (i + 1 >= args.size()) return usageError(arg + " needs a value");
    const std::string& value = args[++i];
    std::optional<double>* number = arg == "--lat"    ? &options.lat
                                    : arg == "--lng"  ? &options.lng
                                    : arg == "--acc"  ? &options.acc
                                    : arg == "--time" ? &options.time
                                                      : nullptr;
    if (number) {
      if (!(*number = parseFinite<double>(value))) return usageError(arg + " needs a number");
    } else if (arg == "--description") {
      options.description = value;
    } else if (arg == "--decode") {
      options.decode = value;
    } else {
      return usageError("unknown option " + arg);
    }
  }
  if (options.decode) return decodeUule(*options.decode);

  std::optional<ZUVLocation> location;
  if (options.description) {
    if (options.lat || options.lng || options.acc) {
      return usageError("uule takes --description or --lat --lng --acc");
    }
    location = ZUVLocation::createWithDescription(*options.description);
  } else if (options.lat && options.lng && options.acc) {
    location = ZUVLocation::createWithLatitudeLongitudeAccuracy(static_cast<float>(*options.lat),
                                                                static_cast<float>(*options.lng),
                                                                static_cast<float>(*options.acc));
  } else {
    return usageError("uule needs --lat, --lng and --acc, or --description");
  }
  if (!location) {
    std::cerr << "vozave: no location: latitude and longitude must be within range and not 0, "
                 "a description not empty\n";
    return 1;
  }
  if (options.time) location->setTimestamp(*options.time);
  auto encoded = location->oolongRepresentation();
  if (!encoded) {
    std::cerr << "vozave: the location could not be encrypted\n";
    return 1;
  }
  std::cout << *encoded << "\n";
  if (options.record) {
    std::cout << location->record() << "\n";
    auto decoded = ZUVLocation::decodeOolongRepresentation(*encoded);
    if (decoded) std::cout << "vector " << platform::text::hexString(decoded->vector) << "\n";
  }
  return 0;
}

}  // namespace

std::vector<Command> deviceCommands() {
  static const std::string deviceUsage =
      std::string(
          "  device [--home DIR] [--device KEY=VALUE]...\n"
          "      print the device parameters that an ad request would carry; the values:\n") +
      platform::kDeviceProfileKeysUsage;
  return {
      {"device", deviceUsage.c_str(), device},
      {"uule",
       "  uule --lat DEG --lng DEG --acc METRES [--time T] [--record]\n"
       "  uule --description TEXT [--time T] [--record]\n"
       "      print the encoded location (T: seconds since 1970, default now); --record also\n"
       "      prints the plain record and the vector\n"
       "  uule --decode TEXT\n"
       "      decrypt a location encoded by this client back to its record\n",
       uule},
  };
}

}  // namespace vozave
