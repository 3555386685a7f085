#pragma once

#include <ostream>

#include "tools/adserver/AdRecord.h"

namespace velour {

// What left the phone and what the demo ad server saw, as the `opened` and `report` commands
// print them.
class Records {
 public:
  // The URLs that the application opened (left for), oldest first, and the mail it sent.
  static void printOpened(std::ostream& out);
  // The server's counts per ad unit and kind, the privacy keys of the last ad request, then the
  // clicks, tracking hits and landing pages with the page that referred each.
  static void printReport(std::ostream& out, const adserver::AdRecord& record);

 private:
  static void printPrivacy(std::ostream& out, const adserver::AdRecord& record);
};

}  // namespace velour
