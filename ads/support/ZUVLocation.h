#pragma once

#include <optional>
#include <string>
#include <string_view>

// A location the application gives for targeting: precise (latitude, longitude, accuracy) or a
// place description, with the time it was given. Its encoded form travels as "uule".
class ZUVLocation {
 public:
  // Nothing unless |latitude| <= 90, |longitude| <= 180 and neither is within float epsilon
  // of 0 (nor a NaN).
  static std::optional<ZUVLocation> createWithLatitudeLongitudeAccuracy(float latitude,
                                                                        float longitude,
                                                                        float accuracy);
  // Nothing for an empty description.
  static std::optional<ZUVLocation> createWithDescription(std::string_view description);

  float latitude() const { return latitude_; }
  float longitude() const { return longitude_; }
  float accuracy() const { return accuracy_; }
  double timestamp() const { return timestamp_; }  // seconds since 1970
  void setTimestamp(double timestamp) { timestamp_ = timestamp; }
  bool isPreciseLocation() const;
  // The description or, for a precise location, "latitude,longitude".
  std::string description() const;

  // The plain record that is encrypted.
  std::string record() const;
  // "e1+" and web-safe base 64 of the vector and the AES-128-CBC ciphertext of the padded
  // record; nothing when the encryption fails.
  std::optional<std::string> oolongRepresentation() const;

  // Our own encoding back to its record and the timestamp in the vector; for debugging.
  struct Decoded {
    std::string record;
    std::string vector;  // the 16 bytes in the clear
  };
  static std::optional<Decoded> decodeOolongRepresentation(std::string_view text);

  // Same kind, and equal coordinates (within float epsilon) or equal descriptions.
  bool operator==(const ZUVLocation& other) const;

 private:
  ZUVLocation() = default;

  float latitude_ = 0;
  float longitude_ = 0;
  float accuracy_ = 0;
  std::optional<std::string> description_;
  double timestamp_ = 0;
};
