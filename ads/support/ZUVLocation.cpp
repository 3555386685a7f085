#include "ads/support/ZUVLocation.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "ads/support/GTMStringEncoding.h"
#include "platform/crypto/Crypto.h"
#include "platform/foundation/RunLoop.h"

namespace {

// The key shared with the ad server for the location parameter.
constexpr platform::Aes128Key kZUVLocationKey = {0x56, 0x6f, 0x7a, 0x61, 0x76, 0x65, 0x2d, 0x6c,
                                                 0x6f, 0x63, 0x2d, 0x6b, 0x65, 0x79, 0x2d, 0x31};
constexpr const char* kMarker = "e1+";
constexpr float kEpsilon = std::numeric_limits<float>::epsilon();

double now() {
  return platform::RunLoop::main().currentDate().secondsSince1970;
}

// Truncated toward zero into 32 bits; out of range values (a huge accuracy) are clamped and a
// NaN is 0, where a bare cast would be undefined.
std::int32_t truncated(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

// printf into a text of whatever length it needs (a far-off timestamp has hundreds of digits).
template <typename... Args>
std::string format(const char* pattern, Args... args) {
  int length = std::snprintf(nullptr, 0, pattern, args...);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), pattern, args...);
  text.pop_back();
  return text;
}

GTMStringEncoding websafe() {
  auto encoding = GTMStringEncoding::rfc4648Base64WebsafeStringEncoding();
  encoding.setDoPad(false);
  return encoding;
}

platform::Aes128Vector vectorFor(double t) {
  platform::Aes128Vector vector{};
  for (int i = 0; i < 4; ++i) {
    auto value = static_cast<std::uint32_t>(truncated(t * (i + 1)));
    for (int b = 0; b < 4; ++b) vector[4 * i + b] = static_cast<std::uint8_t>(value >> (8 * b));
  }
  return vector;
}

}  // namespace

std::optional<ZUVLocation> ZUVLocation::createWithLatitudeLongitudeAccuracy(float latitude,
                                                                            float longitude,
                                                                            float accuracy) {
  ZUVLocation location;
  location.latitude_ = latitude;
  location.longitude_ = longitude;
  location.accuracy_ = accuracy;
  location.timestamp_ = now();
  if (!location.isPreciseLocation()) return std::nullopt;
  return location;
}

std::optional<ZUVLocation> ZUVLocation::createWithDescription(std::string_view description) {
  if (description.empty()) return std::nullopt;
  ZUVLocation location;
  location.description_ = std::string(description);
  location.timestamp_ = now();
  return location;
}

bool ZUVLocation::isPreciseLocation() const {
  float lat = std::fabs(latitude_), lng = std::fabs(longitude_);
  return lat <= 90 && lng <= 180 && lat > kEpsilon && lng > kEpsilon;
}

std::string ZUVLocation::description() const {
  if (description_) return *description_;
  if (!isPreciseLocation()) return {};
  return format("%f,%f", static_cast<double>(latitude_), static_cast<double>(longitude_));
}

std::string ZUVLocation::record() const {
  double micros = timestamp_ * 1e6;
  if (isPreciseLocation()) {
    return format(
        "role: 6 producer: 24 historical_role: 1 historical_producer: 12 timestamp: %.0f "
        "latlng <latitude_e7: %ld longitude_e7: %ld> radius: %ld",
        micros, static_cast<long>(truncated(static_cast<double>(latitude_) * 1e7)),
        static_cast<long>(truncated(static_cast<double>(longitude_) * 1e7)),
        static_cast<long>(truncated(static_cast<double>(accuracy_) * 1000)));
  }
  std::string text = format(
      "role: 4 producer: 24 historical_role: 1 historical_producer: 12 timestamp: %.0f loc: \"",
      micros);
  for (char c : description_.value_or("")) text += c == '"' ? '\'' : c;
  text += '"';
  return text;
}

std::optional<std::string> ZUVLocation::oolongRepresentation() const {
  std::string padded = record();
  std::size_t n = 16 - padded.size() % 16;
  padded.append(n, static_cast<char>(n));
  platform::Aes128Vector vector = vectorFor(timestamp_);
  auto cipher = platform::aes128CbcEncryptNoPadding(kZUVLocationKey, vector, padded);
  if (!cipher) return std::nullopt;
  std::string output(reinterpret_cast<const char*>(vector.data()), vector.size());
  output += *cipher;
  std::string text = kMarker;
  text += websafe().encode(output);
  return text;
}

std::optional<ZUVLocation::Decoded> ZUVLocation::decodeOolongRepresentation(std::string_view text) {
  if (!text.starts_with(kMarker)) return std::nullopt;
  auto bytes = websafe().decode(text.substr(3));
  if (!bytes || bytes->size() < 32 || bytes->size() % 16 != 0) return std::nullopt;
  platform::Aes128Vector vector;
  std::copy(bytes->begin(), bytes->begin() + 16, vector.begin());
  auto plain = platform::aes128CbcDecryptNoPadding(kZUVLocationKey, vector,
                                                   std::string_view(*bytes).substr(16));
  if (!plain || plain->empty()) return std::nullopt;
  auto n = static_cast<unsigned char>(plain->back());
  if (n == 0 || n > 16 || n > plain->size()) return std::nullopt;
  for (std::size_t i = plain->size() - n; i < plain->size(); ++i) {
    if (static_cast<unsigned char>((*plain)[i]) != n) return std::nullopt;
  }
  plain->resize(plain->size() - n);
  return Decoded{*plain, bytes->substr(0, 16)};
}

bool ZUVLocation::operator==(const ZUVLocation& other) const {
  if (isPreciseLocation() != other.isPreciseLocation()) return false;
  if (isPreciseLocation()) {
    return std::fabs(latitude_ - other.latitude_) < kEpsilon &&
           std::fabs(longitude_ - other.longitude_) < kEpsilon &&
           std::fabs(accuracy_ - other.accuracy_) < kEpsilon;
  }
  return description() == other.description();
}
