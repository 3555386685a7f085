// Reads arbitrary text as the demo ad server's inventory: no crash, and an accepted inventory
// names only known creatives and valid ad units.
#include "fuzz/FuzzInput.h"
#include "tools/adserver/AdQuery.h"
#include "tools/adserver/Inventory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::set<std::string> known{"banner-plain", "banner-mail"};
  auto inventory = adserver::Inventory::parse(fuzz::text(data, size), known);
  if (!inventory) {
    const std::string problem = inventory.error().localizedDescription();
    if (problem.empty() || problem.find('\n') != std::string::npos) abort();
    return 0;
  }
  for (const auto& [slot, unit] : inventory->units()) {
    if (slot != adserver::Inventory::kAnyUnit && !adserver::isAdUnitID(slot)) abort();
    for (const auto* list : {&unit.creatives, &unit.interstitials}) {
      for (const std::string& name : *list) {
        if (!known.contains(name)) abort();
      }
    }
    if (unit.creatives.empty() && unit.fault == adserver::Fault::None) abort();
  }
  return 0;
}
