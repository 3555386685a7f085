#pragma once

#include <cstddef>
#include <deque>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "platform/foundation/Log.h"
#include "tools/adserver/AdRecord.h"
#include "tools/velour/Phone.h"

namespace velour {

// Reads velour commands and carries them out on the phone.
class Driver {
 public:
  Driver(std::ostream& out, std::ostream& err);
  // Gives the developer log back: the application's web views outlive the driver and log as
  // they go.
  ~Driver();
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  // Runs one command line; false if it failed (the error is printed). Sets quit() on "quit".
  bool execute(const std::string& line);
  // Runs every line of `in` until the end or "quit"; true if no command failed.
  bool runScript(std::istream& in, bool echo);
  // Prompts for lines on descriptor `fd` while the run loop keeps running between them.
  bool runInteractive(int fd);

  bool quit() const { return quit_; }
  // Ends the session after the command under way, as "quit" would (a stop signal).
  void requestQuit() { quit_ = true; }
  // Takes the developer log: lines are kept until "log" prints them, the newest
  // kMaxKeptLogLines of them.
  void captureLog();
  static constexpr std::size_t kMaxKeptLogLines = 2000;

  static const char* helpText();
  // Viewable refresh for every banner of the application (--viewable-refresh).
  void setViewableRefresh(bool on) { phone_.banners().setViewableRefresh(on); }
  // The demo ad server's record, for "report"; not owned, null when another server is used.
  void setAdRecord(const adserver::AdRecord* record) { adRecord_ = record; }

 private:
  bool fail(const std::string& message);
  bool wait(const std::string& argument);
  bool waitForLine(const std::string& text);
  void settle();
  enum class LineRead { Line, End, TooLong };
  static constexpr std::size_t kMaxLineBytes = 1 << 16;
  static LineRead readLine(std::istream& in, std::string& line);
  void printLog();

  std::ostream& out_;
  std::ostream& err_;
  Phone phone_;
  bool quit_ = false;
  bool stalled_ = false;  // the last settle ran out of its budget on silent build pages
  // A line not printed yet; once it has ended a `wait for`, it ends no other.
  struct LogLine {
    std::string text;
    bool waitedFor = false;
  };
  std::deque<LogLine> log_;
  std::size_t logDropped_ = 0;  // lines that went before they were printed
  bool capturing_ = false;
  platform::LogSink previousSink_;
  const adserver::AdRecord* adRecord_ = nullptr;
};

}  // namespace velour
