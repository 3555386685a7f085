#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

inline constexpr const char* kZUVTimingCategoryKey = "category";
inline constexpr const char* kZUVTimingStartKey = "start";
inline constexpr const char* kZUVTimingEndKey = "end";
inline constexpr const char* kZUVTimingKeyUserDataKey = "userData";

// One named interval on the device's monotonic clock, with a little data about it. Not
// started (start 0), running (end 0) or ended.
class ZUVTiming {
 public:
  // The clock in seconds; its zero is the device's boot.
  static double counter();

  // Null without a category.
  static std::shared_ptr<ZUVTiming> createWithCategory(const std::string& category);
  // Null when the representation names no category; absent readings are 0.
  static std::shared_ptr<ZUVTiming> createWithDictionaryRepresentation(
      const platform::Dictionary& representation);

  explicit ZUVTiming(std::string category) : category_(std::move(category)) {}

  platform::Dictionary dictionaryRepresentation() const;

  const std::string& category() const { return category_; }
  double startSeconds() const { return startSeconds_; }
  double endSeconds() const { return endSeconds_; }
  bool isActive() const { return startSeconds_ > 0 && endSeconds_ == 0; }

  void start();
  // Only a started timing ends; ending again moves the end.
  void end();
  void reset();

  // Up to now while running; 0 for a timing whose start lies ahead of the clock (restored
  // from an earlier boot).
  std::uint32_t elapsedMilliseconds() const;
  std::string elapsedMillisecondsString() const;

  // No value changes no entry, but the data then exists, even empty.
  void setValueForKey(const std::optional<platform::Value>& value, const std::string& key);
  std::optional<platform::Value> valueForKey(const std::string& key) const;
  void removeValueForKey(const std::string& key);
  platform::Dictionary keysAndValues() const;

  std::string description() const;

 private:
  std::string category_;
  double startSeconds_ = 0;
  double endSeconds_ = 0;
  std::optional<platform::Dictionary> userData_;
};
