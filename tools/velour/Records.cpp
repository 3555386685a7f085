#include "tools/velour/Records.h"

#include <map>

#include "platform/foundation/Text.h"
#include "platform/ui/Application.h"

namespace velour {

void Records::printOpened(std::ostream& out) {
  auto app = platform::Application::shared();
  if (app->openedURLs().empty() && app->sentMail().empty()) out << "opened: nothing\n";
  for (const auto& url : app->openedURLs()) out << "opened: " << url << "\n";
  for (const auto& mail : app->sentMail()) {
    std::string to;
    for (const auto& address : mail.to) to += (to.empty() ? "" : ", ") + address;
    out << "mail sent: to " << platform::text::singleLine(to) << " \""
        << platform::text::singleLine(mail.subject) << "\"\n";
  }
}

// What the last ad request carried of the user's privacy choices, as the server received it, and
// whether it announced VAST.
void Records::printPrivacy(std::ostream& out, const adserver::AdRecord& record) {
  auto last = record.last(adserver::RequestKind::Ad);
  if (!last) return;
  out << "  privacy of the last ad request:";
  bool any = false;
  for (const char* key : {"gdpr", "gdpr_consent", "us_privacy", "gpp", "gpp_sid", "coppa", "lmt"}) {
    if (const platform::Value* value = last->parameters.find(key)) {
      out << " " << key << "=" << platform::text::singleLine(value->stringValue());
      any = true;
    }
  }
  out << (any ? "" : " no keys") << "; "
      << (last->parameters.contains("isu") ? "the device identifier was sent"
                                           : "no device identifier")
      << (last->announcedVast.value_or(false) ? "; VAST announced" : "") << "\n";
}

void Records::printReport(std::ostream& out, const adserver::AdRecord& record) {
  auto requests = record.requests();
  std::map<std::string, int> kinds;
  for (const auto& request : requests) ++kinds[adserver::requestKindName(request.kind)];
  out << "report: " << requests.size() << " requests";
  for (const auto& [kind, count] : kinds) out << ", " << count << " " << kind;
  out << "\n";
  for (const auto& [unit, n] : record.counts()) {
    out << "  unit " << unit << ": " << n.requests << " ad requests, " << n.impressions
        << " impressions, " << n.clicks << " clicks, " << n.trackingHits << " tracking hits\n";
  }
  // Refusals are grouped: a browser asks for the same missing icon on every page.
  std::map<std::string, int> refused;
  for (const auto& request : requests) {
    if (!request.reason.empty()) {
      std::string path = request.path.empty() ? "(no path)" : request.path;
      ++refused[path + " " + std::to_string(request.status) + " " + request.reason];
    }
  }
  for (const auto& [what, count] : refused) out << "  refused " << what << " (" << count << "x)\n";
  printPrivacy(out, record);
  for (const auto& request : requests) {
    using adserver::RequestKind;
    if (request.kind != RequestKind::Click && request.kind != RequestKind::Tracking &&
        request.kind != RequestKind::Landing) {
      continue;
    }
    out << "  " << adserver::requestKindName(request.kind) << " " << request.path << " "
        << request.status;
    if (!request.referer.empty()) out << " from " << request.referer;
    out << "\n";
  }
}

}  // namespace velour
