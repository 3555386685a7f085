#include "ads/vast/ZUVVastAnnouncement.h"

#include "ads/vast/ZUVVastMediaChooser.h"
#include "ads/vast/ZUVVastReader.h"

std::string ZUVVastAnnouncement() {
  std::string text;
  for (std::string_view version : ZUVVastReader::kVersions) {
    text += (text.empty() ? "" : ",") + std::string(version);
  }
  std::string types;
  for (std::string_view type : ZUVVastMediaTypes()) {
    types += (types.empty() ? "" : ",") + std::string(type);
  }
  return text + ";" + types;
}
