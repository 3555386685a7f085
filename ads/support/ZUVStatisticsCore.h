#pragma once

#include <cstdint>
#include <string>

#include "platform/foundation/Value.h"

// A small persisted store of numbers, texts, dates, arrays and dictionaries, kept in the
// user defaults under "vozave_stats_<identifier>".
class ZUVStatisticsCore {
 public:
  // Starts with what was saved under the identifier.
  explicit ZUVStatisticsCore(std::string identifier);
  // Saves.
  ~ZUVStatisticsCore();
  ZUVStatisticsCore(const ZUVStatisticsCore&) = delete;
  ZUVStatisticsCore& operator=(const ZUVStatisticsCore&) = delete;

  const std::string& identifier() const { return identifier_; }
  std::string userDefaultsKey() const;

  // The stored object whatever its kind; null when absent.
  platform::Value numberForKey(const std::string& key) const { return objectForKey(key); }
  platform::Value stringForKey(const std::string& key) const { return objectForKey(key); }
  platform::Value dateForKey(const std::string& key) const { return objectForKey(key); }
  platform::Value arrayForKey(const std::string& key) const { return objectForKey(key); }
  platform::Value dictionaryForKey(const std::string& key) const { return objectForKey(key); }

  // Each stores only a value of its own kind; anything else changes nothing.
  void setNumberForKey(const platform::Value& number, const std::string& key);
  void setStringForKey(const platform::Value& text, const std::string& key);
  void setDateForKey(const platform::Value& date, const std::string& key);
  void setArrayForKey(const platform::Value& array, const std::string& key);
  void setDictionaryForKey(const platform::Value& dictionary, const std::string& key);

  // Adds `value` to the entry's integer value (0 when absent; a text counts as the number it
  // holds), stores and returns the sum.
  std::int64_t addValueNumberForKey(std::int64_t value, const std::string& key);
  void removeObjectForKey(const std::string& key);
  void removeAllObjects();

  // Writes the store to disk.
  void synchronize();

 private:
  platform::Value objectForKey(const std::string& key) const;
  void setObjectForKeyMatchingClass(const platform::Value& value, const std::string& key,
                                    bool matches);
  void loadPersistentStatistics();

  std::string identifier_;
  platform::Dictionary statistics_;
};
