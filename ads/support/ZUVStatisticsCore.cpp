#include "ads/support/ZUVStatisticsCore.h"

#include <cstdint>

#include "ads/support/ZUVValueText.h"
#include "platform/foundation/UserDefaults.h"

ZUVStatisticsCore::ZUVStatisticsCore(std::string identifier) : identifier_(std::move(identifier)) {
  loadPersistentStatistics();
}

ZUVStatisticsCore::~ZUVStatisticsCore() {
  synchronize();
}

std::string ZUVStatisticsCore::userDefaultsKey() const {
  return "vozave_stats_" + identifier_;
}

platform::Value ZUVStatisticsCore::objectForKey(const std::string& key) const {
  const platform::Value* value = statistics_.find(key);
  return value ? *value : platform::Value();
}

void ZUVStatisticsCore::setObjectForKeyMatchingClass(const platform::Value& value,
                                                     const std::string& key, bool matches) {
  if (matches) statistics_.set(key, value);
}

void ZUVStatisticsCore::setNumberForKey(const platform::Value& number, const std::string& key) {
  setObjectForKeyMatchingClass(number, key, number.isNumber());
}

void ZUVStatisticsCore::setStringForKey(const platform::Value& text, const std::string& key) {
  setObjectForKeyMatchingClass(text, key, text.isString());
}

void ZUVStatisticsCore::setDateForKey(const platform::Value& date, const std::string& key) {
  setObjectForKeyMatchingClass(date, key, date.isDate());
}

void ZUVStatisticsCore::setArrayForKey(const platform::Value& array, const std::string& key) {
  setObjectForKeyMatchingClass(array, key, array.isArray());
}

void ZUVStatisticsCore::setDictionaryForKey(const platform::Value& dictionary,
                                            const std::string& key) {
  setObjectForKeyMatchingClass(dictionary, key, dictionary.isDictionary());
}

std::int64_t ZUVStatisticsCore::addValueNumberForKey(std::int64_t value, const std::string& key) {
  std::int64_t sum = 0;
  // A count that would overflow stays at the end of the range.
  if (__builtin_add_overflow(ZUVIntegerValue(objectForKey(key)), value, &sum)) {
    sum = value > 0 ? INT64_MAX : INT64_MIN;
  }
  statistics_.set(key, platform::Value(static_cast<long long>(sum)));
  return sum;
}

void ZUVStatisticsCore::removeObjectForKey(const std::string& key) {
  statistics_.remove(key);
}

void ZUVStatisticsCore::removeAllObjects() {
  statistics_.clear();
}

void ZUVStatisticsCore::synchronize() {
  auto& defaults = platform::UserDefaults::standard();
  defaults.setObjectForKey(statistics_, userDefaultsKey());
  defaults.synchronize();
}

void ZUVStatisticsCore::loadPersistentStatistics() {
  platform::Value saved = platform::UserDefaults::standard().objectForKey(userDefaultsKey());
  if (!saved.isDictionary()) return;
  for (const auto& [key, value] : saved.dictionaryValue()) statistics_.set(key, value);
}
