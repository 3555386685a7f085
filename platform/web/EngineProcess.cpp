#include "platform/web/EngineProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/HostResolution.h"
#include "platform/web/Browser.h"

namespace platform {

namespace {

// The child's ends move to 3 and 4; every descriptor that we hold sits above them so that
// those moves cannot clobber one another.
int highDescriptor(int fd) {
  int high = ::fcntl(fd, F_DUPFD_CLOEXEC, 10);
  ::close(fd);
  return high;
}

std::string hostResolverRules() {
  std::string rules;
  for (const HostMapping& mapping : HostResolution::shared().mappings()) {
    if (!rules.empty()) rules += ", ";
    rules += "MAP " + mapping.host + " " + mapping.address + ":" + std::to_string(mapping.port);
  }
  return rules;
}

std::vector<std::string> launchArguments(const std::string& program,
                                         const std::string& userDataDir) {
  std::vector<std::string> args = {
      program,
      "--headless=new",
      "--no-sandbox",
      "--disable-gpu",
      "--disable-quic",
      "--no-first-run",
      "--no-default-browser-check",
      "--disable-background-networking",
      "--disable-component-update",
      "--disable-sync",
      "--disable-extensions",
      "--disable-dev-shm-usage",
      "--mute-audio",
      "--hide-scrollbars",
      "--password-store=basic",
      // Without it the engine drops a page's navigations past 200 in 10 s, and with them the
      // page's messages.
      "--disable-ipc-flooding-protection",
      // A page that the phone does not show is hidden to the engine (no animation frames, its
      // visibilityState "hidden"), but its timers keep their pace, as a phone's web view keeps
      // them while its application runs.
      "--disable-background-timer-throttling",
      // A page restored from the back-forward cache would skip the navigation decision; an
      // http navigation to a named host would be tried over https first, and fail on a server
      // that speaks only http. Pages of one site may not share a renderer: an ad page whose
      // script never ends would freeze every other page put in its process. The phone's host
      // mapping sends public names to this machine: the engine would refuse a page's requests
      // there as a public site reaching into the local network.
      "--disable-features=BackForwardCache,Translate,MediaRouter,HttpsUpgrades,"
      "ProcessPerSiteUpToMainFrameThreshold,LocalNetworkAccessChecks",
      "--user-data-dir=" + userDataDir,
      "--remote-debugging-pipe",
  };
  std::string rules = hostResolverRules();
  if (!rules.empty()) args.push_back("--host-resolver-rules=" + rules);
  args.push_back("about:blank");
  return args;
}

// Reaps what has ended of a browser's process group, waiting at most `budget` for the
// rest. The application adopts the orphans of its children (see launch()), so the renderers
// that outlive the browser for a moment are reaped here too and never stay as zombies.
void reapGroup(pid_t group, Duration budget) {
  const HostInstant deadline = RunLoop::main().hostNow() + budget;
  for (;;) {
    const pid_t reaped = ::waitpid(-group, nullptr, WNOHANG);
    if (reaped > 0) continue;
    if (reaped < 0 && errno == EINTR) continue;
    if (reaped < 0 || RunLoop::main().hostNow() > deadline) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

// The engine's crash handlers leave the browser's process group and outlive it. They are
// known by the run's folder on their command line while they run; orphaned, they are ours to
// reap (see launch()), known by their name once ended. Returns whether any was found.
bool endAdoptedHelpers(const std::string& folder) {
  const std::string parent = std::to_string(::getpid());
  bool found = false;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string pid = entry.path().filename();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    const FileManager& files = FileManager::defaultManager();
    const std::string stat = files.readVanishingText(entry.path() / "stat");
    const std::size_t open = stat.find('(');
    const std::size_t close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) continue;
    std::istringstream fields(stat.substr(close + 2));
    std::string state;
    std::string ppid;
    if (!(fields >> state >> ppid)) continue;
    const pid_t helper = static_cast<pid_t>(std::stol(pid));
    if (state == "Z") {
      const bool ours = ppid == parent;
      if (ours && stat.compare(open + 1, 15, "chrome_crashpad") == 0) {
        ::waitpid(helper, nullptr, WNOHANG);
        found = true;
      }
      continue;
    }
    if (files.readVanishingText(entry.path() / "cmdline").find(folder) == std::string::npos) {
      continue;
    }
    ::kill(helper, SIGKILL);
    found = true;
  }
  return found;
}

void endAdoptedHelpers(const std::string& folder, Duration budget) {
  const HostInstant deadline = RunLoop::main().hostNow() + budget;
  while (endAdoptedHelpers(folder) && RunLoop::main().hostNow() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

// Groups of ended browsers with members not yet reaped; swept at the next start.
std::vector<pid_t>& stragglers() {
  static std::vector<pid_t> groups;
  return groups;
}

// In the child: its own process group, which dies with us; the pipes' ends on fds 3 and 4.
[[noreturn]] void becomeEngine(const std::vector<char*>& argv, const std::vector<char*>& envp,
                               const char* workingFolder, int commandRead, int replyWrite) {
  ::setpgid(0, 0);
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  int devNull = ::open("/dev/null", O_RDWR);
  ::dup2(devNull, 0);
  ::dup2(devNull, 1);
  ::dup2(devNull, 2);
  ::dup2(commandRead, 3);
  ::dup2(replyWrite, 4);
  if (::chdir(workingFolder) != 0) ::_exit(127);
  ::execve(argv[0], argv.data(), envp.data());
  ::_exit(127);
}

}  // namespace

Result<EngineProcess> EngineProcess::launch(const std::string& program,
                                            const BrowserProfile& profile) {
  int commands[2];
  int replies[2];
  if (::pipe(commands) != 0) {
    return Error::make(kWebErrorDomain, kWebErrorEngineFailed, "no pipe for the web engine");
  }
  if (::pipe(replies) != 0) {
    ::close(commands[0]);
    ::close(commands[1]);
    return Error::make(kWebErrorDomain, kWebErrorEngineFailed, "no pipe for the web engine");
  }
  for (int* fd : {&commands[0], &commands[1], &replies[0], &replies[1]}) *fd = highDescriptor(*fd);

  std::vector<std::string> args = launchArguments(program, profile.userDataFolder());
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment = profile.childEnvironment();
  const char* workingFolder = profile.folder().c_str();
  std::vector<char*> envp;
  for (auto& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  // A write to a browser that has just ended must fail with EPIPE, not end this process.
  ::signal(SIGPIPE, SIG_IGN);
  // The browser's children that it leaves behind become ours to reap (see reapGroup).
  ::prctl(PR_SET_CHILD_SUBREAPER, 1);
  for (pid_t group : std::exchange(stragglers(), {})) reapGroup(group, Duration::zero());

  pid_t pid = ::fork();
  if (pid == 0) becomeEngine(argv, envp, workingFolder, commands[0], replies[1]);
  ::close(commands[0]);
  ::close(replies[1]);
  if (pid < 0) {
    ::close(commands[1]);
    ::close(replies[0]);
    return Error::make(kWebErrorDomain, kWebErrorEngineFailed, "the web engine could not start");
  }
  EngineProcess process;
  process.pid = pid;
  process.commandFd = commands[1];
  process.replyFd = replies[0];
  ::fcntl(process.commandFd, F_SETFL, O_NONBLOCK);
  ::fcntl(process.replyFd, F_SETFL, O_NONBLOCK);
  return process;
}

void EngineProcess::end(pid_t pid, const BrowserProfile* profile) {
  // The browser's own children (renderers, zygote) share its process group; nothing of it is
  // kept, so it is ended at once.
  ::kill(-pid, SIGKILL);
  constexpr Duration kReapBudget = milliseconds(500);
  reapGroup(pid, kReapBudget);
  if (::waitpid(-pid, nullptr, WNOHANG) == 0) stragglers().push_back(pid);
  if (profile) endAdoptedHelpers(profile->folder(), kReapBudget);
}

}  // namespace platform
