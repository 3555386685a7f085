#include "tools/adserver/Inventory.h"

#include <charconv>
#include <cmath>
#include <utility>

#include "platform/web/JsonCodec.h"
#include "tools/adserver/AdQuery.h"

namespace adserver {

namespace {

const std::pair<Fault, const char*> kFaultNames[] = {
    {Fault::None, "none"},
    {Fault::Reject, "reject"},
    {Fault::ServerError, "server-error"},
    {Fault::EmptyPage, "empty-page"},
    {Fault::Stall, "stall"},
    {Fault::CloseMidBody, "close-mid-body"},
    {Fault::Unable, "unable"},
    {Fault::SilentScript, "silent-script"},
    {Fault::SpinningScript, "spinning-script"},
    {Fault::ThrowingScript, "throwing-script"},
    {Fault::NavigationLoop, "navigation-loop"},
    {Fault::RunawayScript, "runaway-script"},
    {Fault::MessageFlood, "message-flood"},
};

constexpr double kMaximumRefreshSeconds = 86400;
constexpr double kMaximumStallMilliseconds = 600000;

std::string numberText(double value) {
  char text[32];
  auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

platform::Error badInventory(std::string problem) {
  return platform::Error::make(kAdServerErrorDomain, kAdServerErrorBadInventory,
                               std::move(problem));
}

platform::Result<std::vector<std::string>> readCreatives(const platform::Value& list,
                                                         const char* key,
                                                         const std::set<std::string>& known) {
  if (!list.isNull() && !list.isArray()) {
    return badInventory(std::string("\"") + key + "\" must be a list of names");
  }
  std::vector<std::string> creatives;
  for (const platform::Value& name : list.arrayValue()) {
    if (!known.contains(name.stringValue())) {
      return badInventory("unknown creative " + quotedForReason(name.isString()
                                                                    ? name.stringValue()
                                                                    : name.debugDescription()));
    }
    creatives.push_back(name.stringValue());
  }
  return creatives;
}

// The number under `key`, or `fallback` when the entry has none.
platform::Result<double> readNumber(const platform::Value& entry, const char* key, double maximum,
                                    double fallback) {
  const platform::Value& value = entry[key];
  if (value.isNull()) return fallback;
  double number = value.doubleValue(-1);
  if (!value.isNumber() || !std::isfinite(number) || number < 0 || number > maximum) {
    return badInventory(std::string("\"") + key + "\" must be a number from 0 to " +
                        numberText(maximum));
  }
  return number;
}

platform::Result<AdUnit> readUnit(const platform::Value& entry,
                                  const std::set<std::string>& known) {
  if (!entry.isDictionary()) return badInventory("an ad unit must be an object");
  AdUnit unit;
  auto creatives = readCreatives(entry["creatives"], "creatives", known);
  if (!creatives) return creatives.error();
  unit.creatives = std::move(*creatives);
  auto interstitials = readCreatives(entry["interstitials"], "interstitials", known);
  if (!interstitials) return interstitials.error();
  unit.interstitials = std::move(*interstitials);
  auto rewarded = readCreatives(entry["rewarded"], "rewarded", known);
  if (!rewarded) return rewarded.error();
  unit.rewarded = std::move(*rewarded);
  auto rewardTime = readNumber(entry, "reward_time", kMaximumRefreshSeconds, 30);
  if (!rewardTime) return rewardTime.error();
  unit.rewardTime = numberText(*rewardTime);
  if (!entry["reward"].isNull()) {
    const std::string& reward = entry["reward"].stringValue();
    // Any text, to act out a bad one, but a header's: one line.
    if (!entry["reward"].isString() || reward.find_first_of("\r\n") != std::string::npos) {
      return badInventory("\"reward\" must be one line of text");
    }
    unit.reward = reward;
  }
  auto refresh = readNumber(entry, "refresh", kMaximumRefreshSeconds, 30);
  if (!refresh) return refresh.error();
  auto stall = readNumber(entry, "stall_ms", kMaximumStallMilliseconds, unit.stallMilliseconds);
  if (!stall) return stall.error();
  unit.refreshRate = numberText(*refresh);
  unit.stallMilliseconds = static_cast<int>(*stall);
  if (entry["orientation"].isString()) unit.orientation = entry["orientation"].stringValue();
  if (!entry["fault"].isNull()) {
    auto fault = faultFromName(entry["fault"].stringValue());
    if (!fault) {
      return badInventory("unknown fault " + quotedForReason(entry["fault"].debugDescription()));
    }
    unit.fault = *fault;
  }
  if (unit.creatives.empty() && unit.fault == Fault::None) {
    return badInventory("an ad unit without a fault needs at least one creative");
  }
  return unit;
}

}  // namespace

bool isVideoCreative(std::string_view name) {
  return name.starts_with(kVideoCreativePrefix);
}

const char* faultName(Fault fault) {
  for (const auto& [value, name] : kFaultNames) {
    if (value == fault) return name;
  }
  return "none";
}

std::optional<Fault> faultFromName(std::string_view name) {
  for (const auto& [value, text] : kFaultNames) {
    if (name == text) return value;
  }
  return std::nullopt;
}

platform::Result<Inventory> Inventory::parse(std::string_view text,
                                             const std::set<std::string>& knownCreatives) {
  auto root = platform::JsonCodec::parse(text);
  if (!root) {
    return badInventory("not JSON: " + root.error().localizedDescription());
  }
  const platform::Value& units = (*root)["units"];
  if (!units.isDictionary() || units.dictionaryValue().empty()) {
    return badInventory("the inventory needs a \"units\" object with at least one ad unit");
  }
  if (units.dictionaryValue().size() > kMaximumUnits) {
    return badInventory("more than " + std::to_string(kMaximumUnits) + " ad units");
  }
  Inventory inventory;
  for (const auto& [slot, entry] : units.dictionaryValue()) {
    if (slot != kAnyUnit && !isAdUnitID(slot)) {
      return badInventory("ad unit " + quotedForReason(slot) +
                          " is neither \"*\" nor 15 lower-case hexadecimal digits");
    }
    auto unit = readUnit(entry, knownCreatives);
    if (!unit) {
      return badInventory("ad unit " + quotedForReason(slot) + ": " +
                          unit.error().localizedDescription());
    }
    inventory.setUnit(slot, std::move(*unit));
  }
  return inventory;
}

const AdUnit* Inventory::unit(std::string_view slot) const {
  auto found = units_.find(slot);
  if (found == units_.end()) found = units_.find(std::string_view(kAnyUnit));
  return found == units_.end() ? nullptr : &found->second;
}

}  // namespace adserver
