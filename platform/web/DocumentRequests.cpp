#include "platform/web/DocumentRequests.h"

#include <algorithm>

#include "platform/foundation/URL.h"

namespace platform {

namespace {

// Replaced loads whose requests are still looked out for; older ones are not.
constexpr std::size_t kSupersededKept = 16;

}  // namespace

std::string DocumentRequests::pageKey(const std::string& url) {
  std::string key = url.substr(0, url.find('#'));
  auto parsed = URL::parse(key);
  if (!parsed || !parsed->isHTTPOrHTTPS()) return key;
  auto path = key.find_first_of("/?", key.find("://") + 3);
  if (path == std::string::npos) path = key.size();
  if (path < key.size() && key[path] == '/') return key;
  return key.substr(0, path) + "/" + key.substr(path);
}

void DocumentRequests::expect(const WebRequest& request, std::optional<std::string> html) {
  expected_ = Expected{request, std::move(html)};
}

void DocumentRequests::expectRemembered(const WebRequest& request, const std::string& pageURL) {
  expect(request, rememberedText(pageKey(pageURL)));
}

DocumentRequests::Expected DocumentRequests::take() {
  Expected expected = std::move(*expected_);
  expected_.reset();
  return expected;
}

void DocumentRequests::supersede() {
  if (!expected_) return;
  if (superseded_.size() >= kSupersededKept) superseded_.erase(superseded_.begin());
  superseded_.push_back(pageKey(expected_->request.url().absoluteString()));
}

bool DocumentRequests::isSuperseded(const std::string& url) {
  const std::string key = pageKey(url);
  if (expected_ && pageKey(expected_->request.url().absoluteString()) == key) return false;
  auto found = std::find(superseded_.begin(), superseded_.end(), key);
  if (found == superseded_.end()) return false;
  superseded_.erase(found);
  return true;
}

void DocumentRequests::forgetAll() {
  expected_.reset();
  superseded_.clear();
}

void DocumentRequests::remember(const std::string& url, std::string html) {
  std::string key = pageKey(url);
  std::erase_if(texts_, [&key](const auto& entry) { return entry.first == key; });
  if (texts_.size() >= kRememberedTexts) texts_.pop_front();
  texts_.emplace_back(std::move(key), std::move(html));
}

std::optional<std::string> DocumentRequests::rememberedText(const std::string& key) const {
  for (const auto& [stored, html] : texts_) {
    if (stored == key) return html;
  }
  return std::nullopt;
}

}  // namespace platform
