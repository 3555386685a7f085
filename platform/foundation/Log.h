#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The developer log: one line per entry, to stderr unless a sink takes it.
using LogSink = std::function<void(const std::string& line)>;

// How much a line matters: a failure its reader would want to know of, or news; None, as a
// route's threshold, lets no line through.
enum class LogLevel { None = 0, Error = 1, Info = 2 };

void log(std::string_view line, LogLevel level = LogLevel::Info);
// Sets the sink that receives every line; an empty sink restores stderr. Returns the old sink.
LogSink setLogSink(LogSink sink);
// The route of one library's own lines, those that begin with `prefix`: the ones less important
// than `threshold` are dropped, the rest go to `sink`, or where every other line goes while it
// is empty. One route at a time; an empty prefix ends it.
void setLogRoute(std::string prefix, LogLevel threshold, LogSink sink);

// Collects every logged line while it lives; for tests.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  const std::vector<std::string>& lines() const { return lines_; }
  bool contains(std::string_view fragment) const;
  void clear() { lines_.clear(); }

 private:
  std::vector<std::string> lines_;
  LogSink previous_;
};

// Logs a failed precondition with its source file and line.
void logAssertion(std::string_view condition, const char* file, int line);

}  // namespace platform
