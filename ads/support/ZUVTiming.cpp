#include "ads/support/ZUVTiming.h"

#include <cstdio>
#include <limits>

#include "platform/foundation/RunLoop.h"

double ZUVTiming::counter() {
  return platform::toSeconds(platform::RunLoop::main().uptime());
}

std::shared_ptr<ZUVTiming> ZUVTiming::createWithCategory(const std::string& category) {
  if (category.empty()) return nullptr;
  return std::make_shared<ZUVTiming>(category);
}

std::shared_ptr<ZUVTiming> ZUVTiming::createWithDictionaryRepresentation(
    const platform::Dictionary& representation) {
  const platform::Value* category = representation.find(kZUVTimingCategoryKey);
  if (!category || !category->isString() || category->stringValue().empty()) return nullptr;
  auto timing = std::make_shared<ZUVTiming>(category->stringValue());
  if (const platform::Value* start = representation.find(kZUVTimingStartKey)) {
    timing->startSeconds_ = start->doubleValue();
  }
  if (const platform::Value* end = representation.find(kZUVTimingEndKey)) {
    timing->endSeconds_ = end->doubleValue();
  }
  const platform::Value* data = representation.find(kZUVTimingKeyUserDataKey);
  if (data && data->isDictionary()) timing->userData_ = data->dictionaryValue();
  return timing;
}

platform::Dictionary ZUVTiming::dictionaryRepresentation() const {
  platform::Dictionary representation{{kZUVTimingCategoryKey, category_},
                                      {kZUVTimingStartKey, startSeconds_},
                                      {kZUVTimingEndKey, endSeconds_}};
  if (userData_) representation.set(kZUVTimingKeyUserDataKey, *userData_);
  return representation;
}

void ZUVTiming::start() {
  startSeconds_ = counter();
  endSeconds_ = 0;
}

void ZUVTiming::end() {
  if (startSeconds_ > 0) endSeconds_ = counter();
}

void ZUVTiming::reset() {
  startSeconds_ = 0;
  endSeconds_ = 0;
}

std::uint32_t ZUVTiming::elapsedMilliseconds() const {
  double end = endSeconds_ < startSeconds_ ? counter() : endSeconds_;
  double milliseconds = (end - startSeconds_) * 1000;
  if (!(milliseconds > 0)) return 0;
  if (milliseconds >= 4294967295.0) return std::numeric_limits<std::uint32_t>::max();
  return static_cast<std::uint32_t>(milliseconds);
}

std::string ZUVTiming::elapsedMillisecondsString() const {
  return std::to_string(elapsedMilliseconds());
}

void ZUVTiming::setValueForKey(const std::optional<platform::Value>& value,
                               const std::string& key) {
  if (!userData_) userData_.emplace();
  if (value) userData_->set(key, *value);
}

std::optional<platform::Value> ZUVTiming::valueForKey(const std::string& key) const {
  if (!userData_) return std::nullopt;
  const platform::Value* value = userData_->find(key);
  return value ? std::optional<platform::Value>(*value) : std::nullopt;
}

void ZUVTiming::removeValueForKey(const std::string& key) {
  if (userData_) userData_->remove(key);
}

platform::Dictionary ZUVTiming::keysAndValues() const {
  return userData_.value_or(platform::Dictionary());
}

std::string ZUVTiming::description() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  return "ZUVTiming (" + std::string(address) +
         "): " + platform::Value(dictionaryRepresentation()).debugDescription();
}
