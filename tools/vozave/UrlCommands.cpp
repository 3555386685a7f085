#include <iostream>

#include "ads/support/ZUVNetworkUtilities.h"
#include "tools/vozave/Command.h"

namespace vozave {

namespace {

int query(const Arguments& args) {
  if (args.size() != 1) return usageError("query takes one text");
  auto pairs = ZUVNetworkUtilities::dictionaryFromQueryString(args.front());
  if (pairs.empty()) std::cout << "(no pairs)\n";
  for (const auto& [key, value] : pairs) std::cout << key << "=" << value.stringValue() << "\n";
  return 0;
}

int urlEncode(const Arguments& args) {
  if (args.size() != 1) return usageError("url-encode takes one text");
  std::cout << ZUVNetworkUtilities::encodeURL(args.front()) << "\n";
  return 0;
}

}  // namespace

std::vector<Command> urlCommands() {
  return {
      {"query",
       "  query TEXT\n"
       "      parse TEXT as a query string and print its pairs as key=value, one a line\n",
       query},
      {"url-encode",
       "  url-encode TEXT\n"
       "      print TEXT percent-encoded as the ad client encodes parameter values\n",
       urlEncode},
  };
}

}  // namespace vozave
