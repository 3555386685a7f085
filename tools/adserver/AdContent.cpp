#include "tools/adserver/AdContent.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"
#include "platform/web/JsonCodec.h"
#include "tools/adserver/AdQuery.h"

namespace adserver {

namespace {

constexpr const char* kScriptTemplate = "sdk-core-v40.js";
constexpr const char* kWebApp = "webapp.html";

void replaceAll(std::string& text, std::string_view placeholder, std::string_view value) {
  for (std::size_t at = text.find(placeholder); at != std::string::npos;
       at = text.find(placeholder, at + value.size())) {
    text.replace(at, placeholder.size(), value);
  }
}

const char* scriptBehaviour(Fault fault) {
  switch (fault) {
    case Fault::Unable:
      return "unable";
    case Fault::SilentScript:
      return "silent";
    case Fault::SpinningScript:
      return "spin";
    case Fault::ThrowingScript:
      return "throw";
    default:
      return "";
  }
}

}  // namespace

platform::Result<void> AdContent::load(const std::string& directory) {
  namespace fs = std::filesystem;
  auto refuse = [](std::string problem) -> platform::Result<void> {
    return platform::Error::make(kAdServerErrorDomain, kAdServerErrorBadContent,
                                 std::move(problem));
  };
  directory_ = directory;
  std::error_code error;
  if (!fs::is_regular_file(fs::path(directory) / kScriptTemplate, error)) {
    return refuse("no support script template " + directory + "/" + kScriptTemplate);
  }
  for (const auto& entry : fs::directory_iterator(fs::path(directory) / "creatives", error)) {
    if (entry.path().extension() == ".html") creatives_.insert(entry.path().stem().string());
  }
  if (creatives_.empty()) return refuse("no creatives in " + directory + "/creatives");
  for (const auto& entry : fs::directory_iterator(fs::path(directory) / "vast", error)) {
    if (entry.path().extension() == ".xml") {
      videos_.insert(std::string(kVideoCreativePrefix) + entry.path().stem().string());
    }
  }
  return {};
}

double AdContent::scriptTemplateModified() const {
  auto date =
      platform::FileManager::defaultManager().modificationDate(directory_ + "/" + kScriptTemplate);
  // Whole seconds, as "Last-Modified" and "If-Modified-Since" carry them.
  return date ? static_cast<double>(static_cast<long long>(date->secondsSince1970)) : 0;
}

std::optional<std::string> AdContent::readFile(const std::string& relativePath) const {
  std::string path = directory_ + "/" + relativePath;
  std::error_code error;
  auto size = std::filesystem::file_size(path, error);
  if (error || size > kMaximumFileSize) return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  if (!(text << file.rdbuf())) return std::nullopt;
  return text.str();
}

std::optional<std::string> AdContent::supportScript(const std::string& origin,
                                                    const Inventory& inventory) const {
  auto text = readFile(kScriptTemplate);
  if (!text) return std::nullopt;
  platform::Dictionary behaviours;
  for (const auto& [slot, unit] : inventory.units()) {
    behaviours.set(slot, platform::Value(scriptBehaviour(unit.fault)));
  }
  replaceAll(*text, "\"__ZEDE_AD_ORIGIN__\"", platform::JsonCodec::write(platform::Value(origin)));
  replaceAll(*text, "__ZEDE_UNIT_FAULTS__", platform::JsonCodec::write(behaviours));
  return text;
}

void AdContent::addCreative(const std::string& name, std::string html) {
  creatives_.insert(name);
  held_[name] = std::move(html);
}

std::optional<std::string> AdContent::creative(const std::string& name,
                                               const AdPlaceholders& values) const {
  if (!creatives_.contains(name)) return std::nullopt;
  auto held = held_.find(name);
  auto text = held != held_.end() ? std::optional<std::string>(held->second)
                                  : readFile("creatives/" + name + ".html");
  if (!text) return std::nullopt;
  if (text->find("{{WEBAPP_HTML}}") != std::string::npos) {
    replaceAll(*text, "{{WEBAPP_HTML}}", platform::percentEncode(readFile(kWebApp).value_or("")));
  }
  fillMraidChecks(*text);
  replaceAll(*text, "{{AD_ORIGIN_ENCODED}}", platform::percentEncode(values.origin));
  replaceAll(*text, "{{AD_ORIGIN}}", values.origin);
  replaceAll(*text, "{{SLOT}}", values.slot);
  replaceAll(*text, "{{TICKET}}", values.ticket);
  return text;
}

std::optional<std::string> AdContent::page(const std::string& relativePath) const {
  return readFile(relativePath);
}

std::optional<std::string> AdContent::mraidFile(const std::string& fileName) const {
  auto text = readFile("mraid/" + fileName);
  if (text) fillMraidChecks(*text);
  return text;
}

std::optional<std::string> AdContent::videoDocument(const std::string& name,
                                                    const std::string& origin) const {
  auto text = readFile("vast/" + name + ".xml");
  if (text) replaceAll(*text, "{{AD_ORIGIN}}", origin);
  return text;
}

std::optional<std::string> AdContent::videoCreative(const std::string& name,
                                                    const std::string& origin) const {
  if (!videos_.contains(name)) return std::nullopt;
  return videoDocument(name.substr(kVideoCreativePrefix.size()), origin);
}

std::optional<std::string> AdContent::videoClip(const std::string& name) const {
  return readFile("video/" + name + ".webm");
}

void AdContent::fillMraidChecks(std::string& text) const {
  if (text.find("{{MRAID_CHECKS}}") == std::string::npos) return;
  replaceAll(text, "{{MRAID_CHECKS}}", readFile("mraid/checks.js").value_or(""));
}

std::string AdContent::asPage(std::string_view markup) {
  std::string start = platform::text::asciiLowercase(platform::text::trimmed(markup).substr(0, 16));
  if (start.starts_with("<!doctype") || start.starts_with("<html")) return std::string(markup);
  return "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
         "<meta name=\"viewport\" content=\"width=device-width\"></head>"
         "<body style=\"margin:0\">" +
         std::string(markup) + "</body></html>";
}

std::string AdContent::emptyPage() {
  return " \n\t\r\n  \n";
}

std::string AdContent::navigationLoopPage() {
  return "<!DOCTYPE html><html><body style=\"margin:0;background:#fdd\">"
         "<p>This ad reloads itself without end.</p>"
         "<script>window.location.replace(window.location.href);</script></body></html>";
}

std::string AdContent::runawayScriptPage() {
  return "<!DOCTYPE html><html><body style=\"margin:0;background:#fdd\">"
         "<p>This ad's script never ends.</p>"
         "<script>for (;;) {}</script></body></html>";
}

std::string AdContent::messageFloodPage() {
  return "<!DOCTYPE html><html><body style=\"margin:0;background:#fdd\">"
         "<p>This ad floods its banner with messages.</p><script>"
         "for (var i = 0; i < 10000; i++) window.location.href = 'gmsg://zede/log?string=flood' + "
         "i;"
         "window.location.replace(window.location.href);</script></body></html>";
}

}  // namespace adserver
