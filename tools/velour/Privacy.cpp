#include "tools/velour/Privacy.h"

#include <charconv>

#include "ads/support/ZUVPrivacy.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/web/JsonCodec.h"
#include "tools/velour/Refusal.h"

namespace velour {

namespace {

platform::Value storedValue(std::string_view text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    return platform::Value(std::string(text.substr(1, text.size() - 2)));
  }
  long long number = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (!text.empty() && error == std::errc() && end == text.data() + text.size()) {
    return platform::Value(number);
  }
  return platform::Value(std::string(text));
}

}  // namespace

platform::Result<void> runDefaults(const std::string& argument, std::ostream& out) {
  const auto [how, rest] = platform::text::firstWord(argument);
  const auto [keyWord, value] = platform::text::firstWord(rest);
  const std::string key(keyWord);
  auto& store = platform::UserDefaults::standard();
  if (key.empty() || (how != "write" && !value.empty()) || (how == "write" && value.empty())) {
    return refused("defaults takes read KEY, write KEY VALUE or delete KEY");
  }
  if (how == "read") {
    platform::Value stored = store.objectForKey(key);
    out << key << " = "
        << (stored.isNull() ? std::string("(none)")
                            : platform::text::singleLine(platform::JsonCodec::write(stored)))
        << "\n";
  } else if (how == "write") {
    store.setObjectForKey(storedValue(value), key);
  } else if (how == "delete") {
    store.removeObjectForKey(key);
  } else {
    return refused("defaults takes read KEY, write KEY VALUE or delete KEY");
  }
  if (how != "read" && !store.synchronize()) return refused("the store could not be written");
  return {};
}

void printConsent(std::ostream& out) {
  const ZUVPrivacySignals signals = ZUVPrivacy::shared().current();
  platform::Dictionary carried;
  signals.addParameters(carried);
  out << "consent: the next request carries "
      << (carried.empty()
              ? std::string("no privacy keys")
              : platform::text::singleLine(platform::JsonCodec::write(platform::Value(carried))))
      << "\n";
  out << "consent: it withholds "
      << (signals.mayUseDevice() ? "nothing"
                                 : "the device identifier, a precise location and the touch "
                                   "signals")
      << "\n";
  if (signals.tcfPolicyVersion || signals.cmpSdkID) {
    auto shown = [](const std::optional<int>& number) {
      return number ? std::to_string(*number) : std::string("(none)");
    };
    out << "consent: written by consent tool " << shown(signals.cmpSdkID)
        << " under TCF policy version " << shown(signals.tcfPolicyVersion) << "\n";
  }
}

}  // namespace velour
