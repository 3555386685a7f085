#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Result.h"

// What the demo ad server serves to each ad unit: the creatives in rotation, the refresh rate,
// the orientation and a fault to act out. Read from a JSON inventory file by the server and
// set directly by tests. The file's form is in docs/ADSERVER.md.
namespace adserver {

// Every misbehaviour the client must survive, one per ad unit.
enum class Fault {
  None,
  Reject,          // the ad request gets 400
  ServerError,     // the ad request gets 500
  EmptyPage,       // the ad page is white space and line ends only
  Stall,           // the ad page comes after a delay
  CloseMidBody,    // the connection closes halfway through the ad page
  Unable,          // the support script reports "unableToServe"
  SilentScript,    // the support script never reports
  SpinningScript,  // the support script never ends
  ThrowingScript,  // the support script throws
  NavigationLoop,  // the ad page navigates to itself again and again
  RunawayScript,   // the ad page runs a script that never ends
  MessageFlood,    // the ad page sends 10,000 messages at once, then reloads itself on and on
};

// A creative named "vast:NAME" is the video ad resources/adserver/vast/NAME.xml, answered as
// VAST and given only to requests that announce it.
inline constexpr std::string_view kVideoCreativePrefix = "vast:";
bool isVideoCreative(std::string_view name);

const char* faultName(Fault fault);
std::optional<Fault> faultFromName(std::string_view name);

struct AdUnit {
  std::vector<std::string> creatives;  // names of creative files, served in turn
  // Served in turn to interstitial requests instead; empty: they get `creatives` too.
  std::vector<std::string> interstitials;
  // Served in turn to rewarded requests; empty: they get `interstitials`, else `creatives`.
  // Their pages carry the reward headers below.
  std::vector<std::string> rewarded;
  std::string reward = "10 coins";  // the "X-Zede-Reward" text, sent as it is
  std::string rewardTime = "30";    // the "X-Zede-Reward-Time" text, in seconds
  std::string refreshRate = "30";   // the "X-Zede-Refresh-Rate" text, in seconds
  std::string orientation = "any";  // the "X-Zede-Orientation" text
  Fault fault = Fault::None;
  int stallMilliseconds = 10000;
};

class Inventory {
 public:
  // The key of the unit that serves every ad unit the inventory does not name.
  static constexpr const char* kAnyUnit = "*";
  static constexpr std::size_t kMaximumUnits = 1000;

  // Reads an inventory file's text; creatives (video ones too) must be among `knownCreatives`.
  // An error, with
  // the problem in one line, for text of another form.
  static platform::Result<Inventory> parse(std::string_view text,
                                           const std::set<std::string>& knownCreatives);

  // The unit named `slot`, else the catch-all unit, else none.
  const AdUnit* unit(std::string_view slot) const;
  void setUnit(const std::string& slot, AdUnit unit) { units_[slot] = std::move(unit); }
  const std::map<std::string, AdUnit, std::less<>>& units() const { return units_; }

 private:
  std::map<std::string, AdUnit, std::less<>> units_;
};

}  // namespace adserver
