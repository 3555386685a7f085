#include "platform/foundation/Log.h"

#include <cstdio>
#include <mutex>

namespace platform {

namespace {

std::mutex& sinkMutex() {
  static std::mutex mutex;
  return mutex;
}

LogSink& currentSink() {
  static LogSink sink;
  return sink;
}

struct Route {
  std::string prefix;
  LogLevel threshold = LogLevel::Info;
  LogSink sink;
};

Route& currentRoute() {
  static Route route;
  return route;
}

}  // namespace

void log(std::string_view line, LogLevel level) {
  std::string text(line);
  LogSink sink;
  {
    std::lock_guard lock(sinkMutex());
    sink = currentSink();
    const Route& route = currentRoute();
    if (!route.prefix.empty() && line.starts_with(route.prefix)) {
      if (level > route.threshold) return;
      if (route.sink) sink = route.sink;
    }
  }
  if (sink) {
    sink(text);
    return;
  }
  std::fprintf(stderr, "%s\n", text.c_str());
}

LogSink setLogSink(LogSink sink) {
  std::lock_guard lock(sinkMutex());
  LogSink previous = std::move(currentSink());
  currentSink() = std::move(sink);
  return previous;
}

void setLogRoute(std::string prefix, LogLevel threshold, LogSink sink) {
  std::lock_guard lock(sinkMutex());
  currentRoute() = Route{std::move(prefix), threshold, std::move(sink)};
}

LogCapture::LogCapture() {
  previous_ = setLogSink([this](const std::string& line) { lines_.push_back(line); });
}

LogCapture::~LogCapture() {
  setLogSink(std::move(previous_));
}

bool LogCapture::contains(std::string_view fragment) const {
  for (const auto& line : lines_) {
    if (line.find(fragment) != std::string::npos) return true;
  }
  return false;
}

void logAssertion(std::string_view condition, const char* file, int line) {
  std::string text = "*** Assertion failure: ";
  text += condition;
  text += " (";
  text += file;
  text += ":" + std::to_string(line) + ")";
  log(text);
}

}  // namespace platform
