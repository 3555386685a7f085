#include "ads/support/ZUVTimingManager.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Application.h"

ZUVTimingManager::ZUVTimingManager(std::string identifier) : identifier_(std::move(identifier)) {
  loadPersistentTimings();
  auto& center = platform::NotificationCenter::defaultCenter();
  // A suspended application can be killed without another word, so the background counts too.
  for (const char* name : {platform::kApplicationWillTerminateNotification,
                           platform::kApplicationDidEnterBackgroundNotification}) {
    observers_.push_back(center.addObserver(
        name, nullptr, [this](const platform::Notification&) { savePersistentTimings(); }));
  }
}

ZUVTimingManager::~ZUVTimingManager() {
  savePersistentTimings();
}

std::string ZUVTimingManager::userDefaultsKey() const {
  return "vozave_timing_" + identifier_;
}

std::vector<std::shared_ptr<ZUVTiming>> ZUVTimingManager::timings() const {
  std::vector<std::shared_ptr<ZUVTiming>> all;
  for (const auto& [category, timing] : timings_) all.push_back(timing);
  return all;
}

std::vector<std::string> ZUVTimingManager::categories() const {
  std::vector<std::string> all;
  for (const auto& [category, timing] : timings_) all.push_back(category);
  return all;
}

void ZUVTimingManager::addTiming(std::shared_ptr<ZUVTiming> timing) {
  if (!timing) return;
  std::string category = timing->category();
  timings_[category] = std::move(timing);
}

std::shared_ptr<ZUVTiming> ZUVTimingManager::addTimingWithCategory(const std::string& category) {
  auto timing = ZUVTiming::createWithCategory(category);
  addTiming(timing);
  return timing;
}

std::shared_ptr<ZUVTiming> ZUVTimingManager::timingForCategory(const std::string& category) const {
  auto found = timings_.find(category);
  return found == timings_.end() ? nullptr : found->second;
}

void ZUVTimingManager::removeTiming(const ZUVTiming& timing) {
  removeTimingForCategory(timing.category());
}

void ZUVTimingManager::removeTimingForCategory(const std::string& category) {
  timings_.erase(category);
}

void ZUVTimingManager::removeTimingsForCategories(const std::vector<std::string>& categories) {
  for (const std::string& category : categories) removeTimingForCategory(category);
}

void ZUVTimingManager::removeAllTimings() {
  timings_.clear();
}

void ZUVTimingManager::synchronize() {
  savePersistentTimings();
}

void ZUVTimingManager::loadPersistentTimings() {
  platform::Value saved = platform::UserDefaults::standard().objectForKey(userDefaultsKey());
  if (!saved.isDictionary()) return;
  for (const auto& [category, representation] : saved.dictionaryValue()) {
    if (!representation.isDictionary()) continue;
    auto timing = ZUVTiming::createWithDictionaryRepresentation(representation.dictionaryValue());
    if (!timing) continue;
    // A running timing that started ahead of the clock was saved before the device restarted:
    // its start belongs to another run of the clock, so it measures again from now.
    if (timing->isActive() && timing->startSeconds() > ZUVTiming::counter()) timing->start();
    timings_[category] = std::move(timing);
  }
}

void ZUVTimingManager::savePersistentTimings() {
  platform::Dictionary saved;
  for (const auto& [category, timing] : timings_) {
    saved.set(category, timing->dictionaryRepresentation());
  }
  auto& defaults = platform::UserDefaults::standard();
  defaults.setObjectForKey(saved, userDefaultsKey());
  defaults.synchronize();
}
