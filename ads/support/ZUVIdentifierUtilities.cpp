#include "ads/support/ZUVIdentifierUtilities.h"

#include <cctype>
#include <climits>
#include <filesystem>

#include "ads/support/GTMStringEncoding.h"
#include "ads/support/ZUVNumberUtilities.h"
#include "ads/support/ZUVParameterKeys.h"
#include "platform/crypto/Crypto.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Text.h"
#include "platform/media/AudioSession.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"

namespace {

constexpr const char* kJailbreakPath = "/Applications/Cydia.app";
constexpr const char* kITunesMetadataFile = "iTunesMetadata.plist";
// A store's metadata is a few kilobytes; a larger file is not one.
constexpr std::size_t kMaxMetadataSize = 1 << 20;

}  // namespace

std::array<std::uint8_t, 16> HashedDeviceIdentifier() {
  return platform::md5(platform::deviceUniqueIdentifier());
}

ZUVIdentifierUtilities& ZUVIdentifierUtilities::sharedInstance() {
  static ZUVIdentifierUtilities instance;
  return instance;
}

ZUVIdentifierUtilities::ZUVIdentifierUtilities()
    : isPhoneIdiom_(platform::DeviceProfile::current().interfaceIdiom.value_or(0) == 0),
      isJailbroken_(detectJailbreak()) {}

bool ZUVIdentifierUtilities::detectJailbreak() {
  return platform::FileManager::defaultManager().fileExists(
      platform::deviceFileSystemPath(kJailbreakPath));
}

void ZUVIdentifierUtilities::getOSMajorMinorBugFix(int* major, int* minor, int* bugFix) {
  std::string version = sharedInstance().osVersion();
  int pieces[3] = {0, 0, 0};
  std::string_view rest = version;
  for (int& piece : pieces) {
    auto dot = rest.find('.');
    piece = platform::text::leadingInt32(rest.substr(0, dot));
    if (dot == std::string_view::npos) break;
    rest.remove_prefix(dot + 1);
  }
  if (major) *major = pieces[0];
  if (minor) *minor = pieces[1];
  if (bugFix) *bugFix = pieces[2];
}

bool ZUVIdentifierUtilities::isOSAtLeastMajorMinorBug(int major, int minor, int bug) {
  int mine[3];
  getOSMajorMinorBugFix(&mine[0], &mine[1], &mine[2]);
  int wanted[3] = {major, minor, bug};
  for (int i = 0; i < 3; ++i) {
    if (mine[i] != wanted[i]) return mine[i] > wanted[i];
  }
  return true;
}

platform::Dictionary ZUVIdentifierUtilities::iTunesMetadataFromData(std::string_view data) {
  auto list = platform::decodePropertyList(data);
  if (!list || !list->isDictionary()) return {};
  return list->dictionaryValue();
}

platform::Dictionary ZUVIdentifierUtilities::readITunesMetadataFileAt(const std::string& path) {
  auto contents = platform::FileManager::defaultManager().readRegularFile(path, kMaxMetadataSize);
  if (!contents) {
    if (contents.error().code != platform::kFileReadMissing) {
      platform::log("could not read the store metadata " + path + " (" +
                    contents.error().localizedDescription() + ")");
    }
    return {};
  }
  return iTunesMetadataFromData(platform::text::view(*contents));
}

std::string ZUVIdentifierUtilities::deviceModel() const {
  return platform::DeviceProfile::current().model;
}

std::string ZUVIdentifierUtilities::osVersion() const {
  return platform::DeviceProfile::current().systemVersion;
}

const std::optional<std::string>& ZUVIdentifierUtilities::deviceSubmodel() {
  if (!deviceSubmodelRead_) {
    const std::string& machine = platform::DeviceProfile::current().machine;
    if (platform::text::isASCII(machine)) deviceSubmodel_ = machine;
    deviceSubmodelRead_ = true;
  }
  return deviceSubmodel_;
}

float ZUVIdentifierUtilities::screenDensity() const {
  return static_cast<float>(platform::DeviceProfile::current().screenScale.value_or(1.0));
}

platform::Size ZUVIdentifierUtilities::screenSize() const {
  auto app = platform::Application::shared();
  platform::Rect frame = platform::Screen::applicationFrame();
  double height = frame.size.height;
  if (!app->isStatusBarHidden()) height += app->statusBarFrame().size.height;
  return {frame.size.width, height};
}

bool ZUVIdentifierUtilities::isOrientationLandscape() const {
  auto orientation = platform::Application::shared()->statusBarOrientation();
  return orientation == platform::InterfaceOrientation::LandscapeRight ||
         orientation == platform::InterfaceOrientation::LandscapeLeft;
}

std::optional<std::string> ZUVIdentifierUtilities::locale() {
  if (locale_) return locale_;
  platform::Value languages = platform::preferredLanguages();
  // Anything but a list that starts with a language leaves it unset; the next call tries again.
  if (!languages.isArray() || languages.arrayValue().empty()) return std::nullopt;
  const platform::Value& first = languages.arrayValue().front();
  if (!first.isString() || first.stringValue().empty()) return std::nullopt;
  locale_ = platform::text::asciiLowercase(first.stringValue());
  return locale_;
}

const platform::Dictionary& ZUVIdentifierUtilities::iTunesMetadata() {
  if (!iTunesMetadata_) {
    std::filesystem::path documents = platform::FileManager::defaultManager().documentsDirectory();
    std::filesystem::path path = (documents / ".." / kITunesMetadataFile).lexically_normal();
    iTunesMetadata_ = readITunesMetadataFileAt(path.string());
  }
  return *iTunesMetadata_;
}

const std::string& ZUVIdentifierUtilities::deviceIdentifier() {
  if (!deviceIdentifier_) {
    auto digest = HashedDeviceIdentifier();
    deviceIdentifier_ =
        platform::text::hexString(platform::text::view(digest), platform::text::HexCase::upper);
  }
  return *deviceIdentifier_;
}

const std::string& ZUVIdentifierUtilities::deviceIdentifierBase64() {
  if (!deviceIdentifierBase64_) {
    auto digest = HashedDeviceIdentifier();
    auto encoding = GTMStringEncoding::rfc4648Base64WebsafeStringEncoding();
    encoding.setDoPad(false);
    deviceIdentifierBase64_ = encoding.encode(platform::text::view(digest));
  }
  return *deviceIdentifierBase64_;
}

int ZUVIdentifierUtilities::audioRoute() const {
  auto& session = platform::AudioSession::shared();
  long status = session.initialize();
  if (status != platform::kAudioSessionNoError &&
      status != platform::kAudioSessionAlreadyInitialized) {
    return ZUVAudioRouteSpeakerOrUnknown;
  }
  std::optional<std::string> name;
  status = session.currentRouteName(name);
  if (status > 0 || !name) return ZUVAudioRouteSpeakerOrUnknown;
  if (name->empty()) return ZUVAudioRouteSilent;
  if (*name == "Headphone" || *name == "Headset") return ZUVAudioRouteHeadphones;
  if (*name == "Speaker") return ZUVAudioRouteSpeakerOrUnknown;
  return ZUVAudioRouteOther;
}

platform::Dictionary ZUVIdentifierUtilities::parameters() {
  platform::Dictionary parameters;
  std::string model = deviceModel();
  if (model == "iPad" && isPhoneIdiom()) parameters.set(kZUVParameterIPadCompatibilityMode, "1");
  parameters.set(kZUVParameterITunesMetadata, iTunesMetadata());
  const platform::Bundle& bundle = platform::Bundle::main();
  std::string appName = bundle.version().empty() ? "" : bundle.version() + ".";
  parameters.set(kZUVApplicationName, appName + "iphone." + bundle.bundleIdentifier());
  if (isJailbroken()) parameters.set(kZUVParameterJailbroken, "1");
  parameters.set(kZUVParameterDeviceID, deviceIdentifier());
  if (!model.empty()) parameters.set(kZUVParameterDeviceModel, model);
  if (const auto& submodel = deviceSubmodel())
    parameters.set(kZUVParameterDeviceSubmodel, *submodel);
  if (auto language = locale()) parameters.set(kZUVParameterLocale, *language);
  parameters.set(kZUVParameterAudioOutput, std::to_string(audioRoute()));
  parameters.set(kZUVParameterScreenOrientation, isOrientationLandscape() ? "l" : "p");
  parameters.set(kZUVParameterScreenDensity, ZUVNumberUtilities::stringWithFloat(screenDensity()));
  platform::Size size = screenSize();
  parameters.set(kZUVParameterScreenWidth,
                 ZUVNumberUtilities::stringWithFloat(static_cast<float>(size.width)));
  parameters.set(kZUVParameterScreenHeight,
                 ZUVNumberUtilities::stringWithFloat(static_cast<float>(size.height)));
  return parameters;
}
