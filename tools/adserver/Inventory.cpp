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

bool readCreatives(const platform::Value& list, const char* key, const std::set<std::string>& known,
                   std::vector<std::string>& into, std::string& problem) {
  if (!list.isNull() && !list.isArray()) {
    problem = std::string("\"") + key + "\" must be a list of names";
    return false;
  }
  for (const platform::Value& name : list.arrayValue()) {
    if (!known.contains(name.stringValue())) {
      problem = "unknown creative " +
                quotedForReason(name.isString() ? name.stringValue() : name.debugDescription());
      return false;
    }
    into.push_back(name.stringValue());
  }
  return true;
}

bool readNumber(const platform::Value& entry, const char* key, double maximum, double& into,
                std::string& problem) {
  const platform::Value& value = entry[key];
  if (value.isNull()) return true;
  double number = value.doubleValue(-1);
  if (!value.isNumber() || !std::isfinite(number) || number < 0 || number > maximum) {
    problem = std::string("\"") + key + "\" must be a number from 0 to " + numberText(maximum);
    return false;
  }
  into = number;
  return true;
}

bool readUnit(const platform::Value& entry, const std::set<std::string>& known, AdUnit& unit,
              std::string& problem) {
  if (!entry.isDictionary()) {
    problem = "an ad unit must be an object";
    return false;
  }
  if (!readCreatives(entry["creatives"], "creatives", known, unit.creatives, problem) ||
      !readCreatives(entry["interstitials"], "interstitials", known, unit.interstitials, problem)) {
    return false;
  }
  double refresh = 30, stall = unit.stallMilliseconds;
  if (!readNumber(entry, "refresh", kMaximumRefreshSeconds, refresh, problem) ||
      !readNumber(entry, "stall_ms", kMaximumStallMilliseconds, stall, problem)) {
    return false;
  }
  unit.refreshRate = numberText(refresh);
  unit.stallMilliseconds = static_cast<int>(stall);
  if (entry["orientation"].isString()) unit.orientation = entry["orientation"].stringValue();
  if (!entry["fault"].isNull()) {
    auto fault = faultFromName(entry["fault"].stringValue());
    if (!fault) {
      problem = "unknown fault " + quotedForReason(entry["fault"].debugDescription());
      return false;
    }
    unit.fault = *fault;
  }
  if (unit.creatives.empty() && unit.fault == Fault::None) {
    problem = "an ad unit without a fault needs at least one creative";
    return false;
  }
  return true;
}

}  // namespace

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
  auto refuse = [](std::string problem) -> platform::Result<Inventory> {
    return platform::Error::make(kAdServerErrorDomain, kAdServerErrorBadInventory,
                                 std::move(problem));
  };
  auto root = platform::JsonCodec::parse(text);
  if (!root) {
    return refuse("not JSON: " + root.error().localizedDescription());
  }
  const platform::Value& units = (*root)["units"];
  if (!units.isDictionary() || units.dictionaryValue().empty()) {
    return refuse("the inventory needs a \"units\" object with at least one ad unit");
  }
  if (units.dictionaryValue().size() > kMaximumUnits) {
    return refuse("more than " + std::to_string(kMaximumUnits) + " ad units");
  }
  Inventory inventory;
  for (const auto& [slot, entry] : units.dictionaryValue()) {
    if (slot != kAnyUnit && !isAdUnitID(slot)) {
      return refuse("ad unit " + quotedForReason(slot) +
                    " is neither \"*\" nor 15 lower-case hexadecimal digits");
    }
    AdUnit unit;
    std::string problem;
    if (!readUnit(entry, knownCreatives, unit, problem)) {
      return refuse("ad unit " + quotedForReason(slot) + ": " + problem);
    }
    inventory.setUnit(slot, std::move(unit));
  }
  return inventory;
}

const AdUnit* Inventory::unit(std::string_view slot) const {
  auto found = units_.find(slot);
  if (found == units_.end()) found = units_.find(std::string_view(kAnyUnit));
  return found == units_.end() ? nullptr : &found->second;
}

}  // namespace adserver
