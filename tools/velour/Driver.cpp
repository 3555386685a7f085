#include "tools/velour/Driver.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <limits>

#include "app/BannerPlacement.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/harness/Harness.h"
#include "platform/ui/Application.h"
#include "tools/velour/Banners.h"
#include "tools/velour/FullScreens.h"
#include "tools/velour/Privacy.h"
#include "tools/velour/Records.h"
#include "tools/velour/Snapshot.h"

namespace velour {

namespace {

// The longest single wait; a typo such as "wait 1e9" must not hang a session.
constexpr platform::Duration kMaxWait = platform::seconds(3600);
// How long, in real time, a wait lets the banners' fetches and page loads finish.
constexpr platform::Duration kSettleBudget = platform::seconds(10);
// A pass for the answers that have come, once work under way has had its budget.
constexpr platform::Duration kStalledSettle = platform::milliseconds(5);
// How long, in real time, a tap on a page may take to show an effect.
constexpr platform::Duration kTapEffectBudget = platform::seconds(2);
// How long, in real time, `wait for` lets a page work towards the line it waits for.
constexpr platform::Duration kLineWaitBudget = platform::seconds(30);
// How long a pass of the loop waits for a script's next line.
constexpr platform::Duration kInputPass = platform::milliseconds(250);
// Timers met on the way of one wait; beyond that the rest of the wait goes in one step.
constexpr int kMaxWaitSteps = 10000;

std::string trim(std::string_view text) {
  return std::string(platform::text::trimmed(text, " \t\r\n"));
}

// Splits "verb rest of line"; a quoted rest loses its quotes.
std::pair<std::string, std::string> splitCommand(const std::string& line) {
  const auto [word, argument] = platform::text::firstWord(line);
  std::string verb(word);
  std::string rest(argument);
  if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') {
    rest = rest.substr(1, rest.size() - 2);
  }
  return {verb, rest};
}

bool parseNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && std::isfinite(value);
}

// A whole number that an int can hold, written in any form a number may take ("2", "2.0").
bool parseWholeNumber(const std::string& text, int& value) {
  double number = 0;
  if (!parseNumber(text, number) || number != std::floor(number) ||
      number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max()) {
    return false;
  }
  value = static_cast<int>(number);
  return true;
}

}  // namespace

// The application has launched but its run loop has not turned: every banner it made so far
// is watched before any of its loads can end.
Driver::Driver(std::ostream& out, std::ostream& err) : out_(out), err_(err) {
  phone_.banners().watchAll();
}

const char* Driver::helpText() {
  return "Commands:\n"
         "  tab N                      select tab N (1, 2 or 3)\n"
         "  press LABEL                tap the button titled LABEL on the visible screen\n"
         "  wait SECONDS               let time pass (the clock is simulated in scripts; ad\n"
         "                             fetches and page loads under way end first)\n"
         "  wait for TEXT              run in real time, at most 30 s, until a log line not\n"
         "                             printed yet holds TEXT (what a page does by itself);\n"
         "                             a line ends one wait for only\n"
         "  tap banner [X,Y]           tap the banner on the screen at its centre, or at X,Y\n"
         "                             in the banner (points from its top left corner)\n"
         "  tap TEXT                   tap the link or button TEXT on the page in front (the\n"
         "                             browser's or web application's, else the banner's);\n"
         "                             over a video, its control TEXT (Learn more, Skip, ...)\n"
         "  done | close               leave the browser (done) or web application (close);\n"
         "                             close also taps the close control of an expanded,\n"
         "                             resized or interstitial ad, or a video's once it may\n"
         "  interstitial [video]       load an interstitial ad and show it over the screen\n"
         "                             when it arrives; video: from the video ad unit, whose\n"
         "                             answers are VAST videos (their progress is logged)\n"
         "  rewarded [video]           the same with a rewarded ad; close before its time asks\n"
         "                             (press Close ad, or Keep watching)\n"
         "  text                       print the visible text of the page in front\n"
         "  back | forward | reload    the browser's toolbar buttons\n"
         "  open-outside               open the browser's page outside the application\n"
         "  mail send|cancel           finish the mail composer on the screen\n"
         "  opened                     print the URLs that left the application, in order\n"
         "  ads                        print every banner: state, refresh, impressions, clicks, "
         "errors\n"
         "  report                     print the demo ad server's record, summarised\n"
         "  background | foreground    send the application to the background or back\n"
         "  rotate portrait|landscape  turn the phone\n"
         "  network wifi|cellular|none how the phone reaches the network\n"
         "  defaults read|delete KEY   read or delete a value of the phone's store, as a\n"
         "  defaults write KEY VALUE   consent tool does (a whole number is stored as one)\n"
         "  consent                    print the privacy keys the next ad request carries and\n"
         "                             what it withholds\n"
         "  show                       print the visible screen: each banner's state, the\n"
         "                             full screens over it, expanded, resized and\n"
         "                             interstitial ads with their close control, the status bar,\n"
         "                             the interstitial's and rewarded ad's state, reward and\n"
         "                             countdown; a video's playhead, sound, skip, controls\n"
         "                             and the tracking fired so far\n"
         "  snapshot FILE.png          write a picture of the screen (missing folders are made)\n"
         "  log                        print the developer log lines not shown yet\n"
         "  help                       print this list\n"
         "  quit                       end the session\n"
         "Lines that start with # are comments.\n";
}

Driver::~Driver() {
  if (capturing_) platform::setLogSink(previousSink_);
}

void Driver::captureLog() {
  // A page's message flood must not take the phone's memory: the oldest unprinted lines go.
  auto previous = platform::setLogSink([this](const std::string& line) {
    if (log_.size() == kMaxKeptLogLines) {
      log_.pop_front();
      ++logDropped_;
    }
    log_.push_back({line});
  });
  if (!capturing_) previousSink_ = std::move(previous);
  capturing_ = true;
}

bool Driver::fail(const std::string& message) {
  err_ << "error: " << message << "\n";
  return false;
}

bool Driver::wait(const std::string& argument) {
  if (argument == "for" || argument.rfind("for ", 0) == 0) {
    return waitForLine(trim(argument.substr(3)));
  }
  double seconds = 0;  // as the script writes it
  if (!parseNumber(argument, seconds) || seconds < 0) {
    return fail("wait needs a number of seconds, not \"" + argument + "\"");
  }
  const platform::Duration span = platform::seconds(seconds);
  if (span > kMaxWait) {
    return fail("wait is limited to " +
                std::to_string(static_cast<int>(platform::toSeconds(kMaxWait))) + " seconds");
  }
  // Real work under way (fetches, page loads) ends first, and again at every timer on the
  // way, so that a script sees the same screens on every run.
  auto& loop = platform::RunLoop::main();
  const platform::Instant target = loop.now() + span;
  settle();
  for (int step = 0; step < kMaxWaitSteps; ++step) {
    const auto next = loop.nextDueTime();
    if (!next || *next > target) break;
    platform::Harness::advance(std::max(platform::Duration::zero(), *next - loop.now()));
    settle();
  }
  platform::Harness::advance(std::max(platform::Duration::zero(), target - loop.now()));
  settle();
  return true;
}

// A build page that has loaded and had a whole budget without reporting (a support script
// that never answers) is not waited for again at every timer on the way: the simulated clock
// moves on towards its time-out. Any other work under way (a fetch, a page load, the engine's
// start) gets the budget at every settle, since a busy machine is slow, not stuck.
void Driver::settle() {
  auto busy = [this] {
    return FullScreens::isLoading() || phone_.interstitial().isLoading() ||
           phone_.rewarded().isLoading();
  };
  bool settled = Banners::settle(
      stalled_ && Banners::awaitingBuildReportsOnly() ? kStalledSettle : kSettleBudget, busy);
  stalled_ = !settled && Banners::awaitingBuildReportsOnly() && !busy();
}

// A page's own timers run in real time in the engine, whatever the phone's clock says: the
// loop runs on the host's time, its own clock standing still.
bool Driver::waitForLine(const std::string& text) {
  if (text.empty()) return fail("wait for needs the text of a log line");
  auto& loop = platform::RunLoop::main();
  // A line that ended an earlier wait (the same stage of the last ad, say) would end this one
  // at once, before the work it waits for has had a single pass.
  auto holds = [&text](const LogLine& line) {
    return !line.waitedFor && line.text.find(text) != std::string::npos;
  };
  if (platform::Harness::runUntilHostTime(
          [&] { return quit_ || std::any_of(log_.begin(), log_.end(), holds); },
          loop.hostNow() + kLineWaitBudget)) {
    if (auto found = std::find_if(log_.begin(), log_.end(), holds); found != log_.end()) {
      found->waitedFor = true;
    }
    return true;
  }
  return fail("no log line held \"" + platform::text::singleLine(text) + "\" within " +
              std::to_string(static_cast<int>(platform::toSeconds(kLineWaitBudget))) + " s");
}

// Lines may carry a page's or a server's text: escaped, they cannot steer the terminal.
void Driver::printLog() {
  if (logDropped_ > 0) out_ << "log: (" << logDropped_ << " older lines were not kept)\n";
  logDropped_ = 0;
  for (const auto& line : log_) out_ << "log: " << platform::text::singleLine(line.text) << "\n";
  log_.clear();
}

bool Driver::execute(const std::string& rawLine) {
  std::string line = trim(rawLine);
  if (line.empty() || line.front() == '#') return true;
  auto [verb, argument] = splitCommand(line);
  phone_.banners().watchAll();
  platform::Result<void> outcome;
  if (verb == "tab") {
    int index = 0;
    if (!parseWholeNumber(argument, index)) {
      return fail("tab needs a tab number, not \"" + argument + "\"");
    }
    outcome = phone_.selectTab(index);
  } else if (verb == "press") {
    if (argument.empty()) return fail("press needs the label of a button");
    outcome = phone_.press(argument);
  } else if (verb == "wait") {
    return wait(argument);
  } else if (verb == "background") {
    outcome = phone_.enterBackground();
  } else if (verb == "foreground") {
    outcome = phone_.enterForeground();
  } else if (verb == "rotate") {
    outcome = phone_.rotate(argument);
    // The application may keep its orientation: say which one the screen has.
    if (outcome) {
      out_ << "rotated: the device is " << argument << ", the screen "
           << platform::describeOrientation(platform::Application::shared()->statusBarOrientation())
           << "\n";
    }
  } else if (verb == "network") {
    outcome = phone_.setNetwork(argument);
  } else if (verb == "tap") {
    if (argument.empty()) return fail("tap needs banner or the text of a link or button");
    std::optional<platform::Point> point;
    if (argument.rfind("banner ", 0) == 0) point = platform::pointFromText(argument.substr(7));
    if (argument == "banner" || point) {
      outcome = phone_.tapBanner(point);
    } else {
      outcome = FullScreens::tapText(argument);
    }
    if (outcome) FullScreens::awaitTapEffect(kTapEffectBudget);
  } else if (verb == "close" && phone_.rewarded().countdownTitle()) {
    // Before its time the close control is the countdown, which asks first.
    outcome = phone_.press(*phone_.rewarded().countdownTitle());
  } else if (verb == "done" || verb == "close" || verb == "back" || verb == "forward" ||
             verb == "reload" || verb == "open-outside") {
    outcome = FullScreens::pressControl(verb);
  } else if (verb == "interstitial" || verb == "rewarded") {
    if (!argument.empty() && argument != "video") {
      return fail(verb + " takes nothing or video, not \"" + platform::text::singleLine(argument) +
                  "\"");
    }
    auto& ad = verb == "rewarded" ? phone_.rewarded() : phone_.interstitial();
    outcome = ad.load(argument == "video" ? kVelourVideoAdUnitID : kVelourAdUnitID);
    if (outcome) out_ << verb << ": loading; it takes the screen when it arrives\n";
  } else if (verb == "text") {
    outcome = FullScreens::printText(out_);
  } else if (verb == "mail") {
    outcome = FullScreens::finishMail(argument);
  } else if (verb == "opened") {
    Records::printOpened(out_);
  } else if (verb == "ads") {
    phone_.banners().printAll(out_);
  } else if (verb == "report") {
    if (!adRecord_) return fail("report needs the demo ad server (not with --ad-server)");
    Records::printReport(out_, *adRecord_);
  } else if (verb == "defaults") {
    outcome = runDefaults(argument, out_);
  } else if (verb == "consent") {
    printConsent(out_);
  } else if (verb == "show") {
    out_ << phone_.screen();
  } else if (verb == "snapshot") {
    outcome = writeSnapshot(argument);
    if (outcome) out_ << "snapshot: " << argument << "\n";
  } else if (verb == "log") {
    printLog();
  } else if (verb == "help") {
    out_ << helpText();
  } else if (verb == "quit") {
    quit_ = true;
  } else {
    return fail("unknown command \"" + verb + "\" (try help)");
  }
  if (!outcome) return fail(outcome.error().localizedDescription());
  // A banner the command brought is watched before its first load can end.
  phone_.banners().watchAll();
  // Whatever the command set off runs now, at the same moment of simulated time.
  platform::RunLoop::main().runOnce();
  return true;
}

// Reads one line of a script; a file with no line break (a device) would take the memory.
Driver::LineRead Driver::readLine(std::istream& in, std::string& line) {
  line.clear();
  for (int c = in.get(); c != std::char_traits<char>::eof(); c = in.get()) {
    if (c == '\n') return LineRead::Line;
    if (line.size() == kMaxLineBytes) return LineRead::TooLong;
    line.push_back(static_cast<char>(c));
  }
  return line.empty() ? LineRead::End : LineRead::Line;
}

bool Driver::runScript(std::istream& in, bool echo) {
  bool allGood = true;
  std::string line;
  for (int number = 1; !quit_; ++number) {
    LineRead read = readLine(in, line);
    if (read == LineRead::End) break;
    if (read == LineRead::TooLong) {
      err_ << "error: line " << number << " is longer than " << kMaxLineBytes
           << " bytes; the script stops\n";
      return false;
    }
    if (echo && !trim(line).empty() && trim(line).front() != '#')
      out_ << "> " << trim(line) << "\n";
    if (!execute(line)) {
      err_ << "  (line " << number << ")\n";
      allGood = false;
    }
  }
  return allGood;
}

bool Driver::runInteractive(int fd) {
  auto& loop = platform::RunLoop::main();
  bool allGood = true;
  bool closed = false;
  std::string pending;
  // The application keeps running (clips end, timers fire) while the user types, so input is
  // read from the run loop rather than by a blocking read.
  auto watch = loop.watchFd(fd, platform::kFdReadable, [&](unsigned) {
    char buffer[4096];
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got <= 0) {
      if (got == 0 || (errno != EAGAIN && errno != EINTR)) closed = true;
      return;
    }
    pending.append(buffer, static_cast<std::size_t>(got));
  });
  out_ << helpText() << "velour> " << std::flush;
  while (!quit_) {
    auto newline = pending.find('\n');
    if (newline == std::string::npos) {
      if (closed) {
        // A last line without its newline is a line all the same.
        if (!trim(pending).empty()) {
          allGood &= execute(pending);
          printLog();
        }
        break;
      }
      if (pending.size() > kMaxLineBytes) {
        allGood = fail("a line longer than " + std::to_string(kMaxLineBytes) + " bytes is dropped");
        pending.clear();
      }
      loop.runOnce(kInputPass);
      continue;
    }
    std::string line = pending.substr(0, newline);
    pending.erase(0, newline + 1);
    allGood &= execute(line);
    printLog();
    if (!quit_) out_ << "velour> " << std::flush;
  }
  return allGood;
}

}  // namespace velour
