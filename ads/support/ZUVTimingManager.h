#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ads/support/ZUVTiming.h"
#include "platform/foundation/Registration.h"

// The timings of one identifier, at most one per category, kept in the store under
// "vozave_timing_<identifier>" so that a measurement can span launches.
class ZUVTimingManager {
 public:
  // Loads what was saved, and saves when the application goes to the background or ends.
  explicit ZUVTimingManager(std::string identifier);
  ~ZUVTimingManager();
  ZUVTimingManager(const ZUVTimingManager&) = delete;
  ZUVTimingManager& operator=(const ZUVTimingManager&) = delete;

  const std::string& identifier() const { return identifier_; }
  std::string userDefaultsKey() const;
  std::vector<std::shared_ptr<ZUVTiming>> timings() const;
  std::vector<std::string> categories() const;

  // Replaces a timing of the same category; null is ignored.
  void addTiming(std::shared_ptr<ZUVTiming> timing);
  // A new timing, not started, that the manager keeps.
  std::shared_ptr<ZUVTiming> addTimingWithCategory(const std::string& category);
  std::shared_ptr<ZUVTiming> timingForCategory(const std::string& category) const;
  void removeTiming(const ZUVTiming& timing);
  void removeTimingForCategory(const std::string& category);
  void removeTimingsForCategories(const std::vector<std::string>& categories);
  void removeAllTimings();

  void synchronize();
  void loadPersistentTimings();
  void savePersistentTimings();

 private:
  std::string identifier_;
  std::map<std::string, std::shared_ptr<ZUVTiming>> timings_;
  std::vector<platform::Registration> observers_;
};
