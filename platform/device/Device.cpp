#include "platform/device/Device.h"

#include <charconv>
#include <cmath>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"

namespace platform {

const char* const kDeviceProfileReachabilityDidChangeNotification =
    "DeviceProfileReachabilityDidChangeNotification";
const char* const kPreferredLanguagesKey = "AppleLanguages";

const char* const kDeviceProfileKeysUsage =
    "      model=TEXT system-version=TEXT unique-identifier=TEXT machine=TEXT\n"
    "      idiom=phone|pad|(none) scale=NUMBER|(none) screen=WIDTHxHEIGHT\n"
    "      status-bar-height=NUMBER bundle-version=TEXT (empty: none)\n"
    "      languages=en,fr,... audio-route=NAME|(none) reachability=wifi|cellular|none\n";

namespace {

constexpr std::size_t kIdentifierLength = 40;
// Room for the identifier and a line end or two; anything larger is no identifier file.
constexpr std::size_t kMaxIdentifierFileSize = 4096;
constexpr const char* kNone = "(none)";
// Far past any screen; it keeps sizes and scales within what a float and an int can take.
constexpr double kMaxProfileNumber = 1e6;

std::optional<double> parseNumber(std::string_view text) {
  double value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value) || value < 0 || value > kMaxProfileNumber) {
    return std::nullopt;
  }
  return value;
}

std::vector<std::string> splitLanguages(std::string_view text) {
  std::vector<std::string> languages;
  while (!text.empty()) {
    auto comma = text.find(',');
    std::string_view item = text.substr(0, comma);
    if (!item.empty()) languages.emplace_back(item);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return languages;
}

bool isIdentifier(std::string_view text) {
  if (text.size() != kIdentifierLength) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

std::string makeIdentifier() {
  return text::randomHex(kIdentifierLength);
}

}  // namespace

DeviceProfile& DeviceProfile::current() {
  static DeviceProfile profile;
  return profile;
}

void DeviceProfile::setReachability(NetworkReachability value) {
  if (reachability == value) return;
  reachability = value;
  NotificationCenter::defaultCenter().postNotification(
      kDeviceProfileReachabilityDidChangeNotification, this);
}

Result<void> DeviceProfile::setValueForKey(std::string_view key, std::string_view text) {
  auto refuse = [](const std::string& why) -> Result<void> {
    return Error::make(kDeviceErrorDomain, kDeviceErrorBadValue, why);
  };
  auto number = parseNumber(text);
  if (key == "model") {
    model = text;
  } else if (key == "system-version") {
    systemVersion = text;
  } else if (key == "unique-identifier") {
    uniqueIdentifier = text;
  } else if (key == "machine") {
    machine = text;
  } else if (key == "idiom") {
    if (text != "phone" && text != "pad" && text != kNone) return refuse("idiom is phone or pad");
    interfaceIdiom = text == kNone ? std::nullopt : std::optional<int>(text == "pad" ? 1 : 0);
  } else if (key == "scale") {
    if (text != kNone && (!number || *number == 0)) return refuse("scale is a positive number");
    screenScale = text == kNone ? std::nullopt : number;
  } else if (key == "screen") {
    auto x = text.find('x');
    auto width = parseNumber(text.substr(0, x));
    auto height = x == std::string_view::npos ? std::nullopt : parseNumber(text.substr(x + 1));
    if (!width || !height || *width == 0 || *height == 0) return refuse("screen is WIDTHxHEIGHT");
    screenSize = Size{*width, *height};
  } else if (key == "status-bar-height") {
    if (!number) return refuse("status-bar-height is a number");
    statusBarHeight = *number;
  } else if (key == "bundle-version") {
    Bundle::main().setVersion(std::string(text));  // the application's: kept by its bundle
  } else if (key == "languages") {
    preferredLanguages = splitLanguages(text);
  } else if (key == "audio-route") {
    audioRoute = text == kNone ? std::nullopt : std::optional<std::string>(text);
  } else if (key == "reachability") {
    if (text == "wifi") {
      setReachability(NetworkReachability::WiFi);
    } else if (text == "cellular") {
      setReachability(NetworkReachability::Cellular);
    } else if (text == "none") {
      setReachability(NetworkReachability::None);
    } else {
      return refuse("reachability is wifi, cellular or none");
    }
  } else {
    return refuse("unknown device value " + std::string(key));
  }
  return {};
}

std::string deviceUniqueIdentifier() {
  const DeviceProfile& profile = DeviceProfile::current();
  if (!profile.uniqueIdentifier.empty()) return profile.uniqueIdentifier;

  // Kept per home folder: a test or --home that changes the folder gets that device's own.
  static std::string cachedHome, cachedIdentifier;
  FileManager& files = FileManager::defaultManager();
  if (!cachedIdentifier.empty() && cachedHome == files.homeDirectory()) return cachedIdentifier;

  std::string folder = files.homeDirectory() + "/Library";
  std::string path = folder + "/DeviceIdentifier";
  auto stored = files.readRegularFile(path, kMaxIdentifierFileSize);
  std::string identifier = stored ? std::string(stored->begin(), stored->end()) : std::string();
  if (!stored && stored.error().code != kFileReadMissing) {
    // The device's identity may be in there: this run uses its own and leaves the file be.
    identifier = makeIdentifier();
    log("could not read the device identifier in " + path + " (" +
        stored.error().localizedDescription() + "); using one for this run only");
  } else if (!isIdentifier(identifier)) {
    identifier = makeIdentifier();
    if (!files.createDirectory(folder) || !files.writeAtomically(path, identifier)) {
      log("could not keep the device identifier in " + path);
    }
  }
  cachedHome = files.homeDirectory();
  cachedIdentifier = identifier;
  return identifier;
}

std::string deviceFileSystemPath(std::string_view devicePath) {
  std::string path = FileManager::defaultManager().homeDirectory() + "/DeviceRoot";
  if (!devicePath.starts_with('/')) path += '/';
  return path += devicePath;
}

Value preferredLanguages() {
  Value stored = UserDefaults::standard().objectForKey(kPreferredLanguagesKey);
  if (!stored.isNull()) return stored;
  Array languages;
  for (const std::string& language : DeviceProfile::current().preferredLanguages) {
    languages.emplace_back(language);
  }
  return languages;
}

}  // namespace platform
