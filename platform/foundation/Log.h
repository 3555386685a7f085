#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The developer log: one line per entry, to stderr unless a sink takes it.
using LogSink = std::function<void(const std::string& line)>;

void log(std::string_view line);
// Sets the sink that receives every line; an empty sink restores stderr. Returns the old sink.
LogSink setLogSink(LogSink sink);

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
