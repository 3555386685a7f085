// velour: the headless phone. Runs the soundboard and drives it from a script, from standard
// input or from an interactive prompt.
#include "app/main.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>

#include "ads/support/ZUVEndpoints.h"
#include "platform/device/Device.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Registration.h"
#include "platform/foundation/Result.h"
#include "platform/foundation/RunLoop.h"
#include "platform/harness/Harness.h"
#include "platform/net/HostResolution.h"
#include "platform/ui/Application.h"
#include "tools/adserver/AdServer.h"
#include "tools/velour/Driver.h"
#include "tools/velour/Refusal.h"
#include "vozave/Version.h"

namespace {

struct Options {
  std::string script;
  std::string home;
  std::string adServer;  // empty: the demo ad server, in-process
  bool viewableRefresh = false;
  bool help = false;
};

const char* kUsage =
    "usage: velour [--script FILE] [--home DIR] [--device KEY=VALUE]...\n"
    "              [--resolve HOST:PORT:ADDRESS]... [--ad-server URL] [--viewable-refresh]\n"
    "              [--help] [--version]\n"
    "Runs the Velour soundboard on a headless phone.\n"
    "  --script FILE  read commands from FILE (\"-\" for standard input)\n"
    "  --home DIR     the device's home folder (default: the soundboard's data folder,\n"
    "                 ~/.local/share/com.velour.soundboard)\n"
    "  --device KEY=VALUE  a value of the device profile (see vozave help), e.g. model=iPad\n"
    "  --resolve HOST:PORT:ADDRESS  connections to HOST go to ADDRESS:PORT (fetches and web\n"
    "                 views), e.g. ads.vozave.com:8080:127.0.0.1\n"
    "  --ad-server URL  send the ad network's hosts to the server at URL (http://HOST:PORT)\n"
    "                 instead of the demo ad server that velour runs by default\n"
    "  --viewable-refresh  a banner's refresh that falls due while less than half of it can\n"
    "                 be seen waits until half of it can\n"
    "  --version      print the SDK version and end\n"
    "Without --script, commands come from standard input: at a prompt when it is a terminal.\n"
    "In a script the clock is simulated: \"wait 2\" moves time on at once.\n\n";

platform::Error usageProblem(std::string problem) {
  return velour::refused(std::move(problem), velour::kVelourUsageError);
}

platform::Result<Options> parseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool takesValue = arg == "--script" || arg == "--home" || arg == "--device" ||
                      arg == "--ad-server" || arg == "--resolve";
    if (takesValue && i + 1 >= argc) return usageProblem(arg + " needs a value");
    std::string value = takesValue ? argv[++i] : "";
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--viewable-refresh") {
      options.viewableRefresh = true;
    } else if (arg == "--script") {
      options.script = value;
    } else if (arg == "--home") {
      options.home = value;
    } else if (arg == "--device") {
      auto equals = value.find('=');
      if (equals == std::string::npos) return usageProblem("--device takes KEY=VALUE");
      auto set = platform::DeviceProfile::current().setValueForKey(value.substr(0, equals),
                                                                   value.substr(equals + 1));
      if (!set) return set.error();
    } else if (arg == "--ad-server") {
      options.adServer = value;
      auto url = platform::URL::parse(value);
      if (!url || url->scheme() != "http" || url->host().empty()) {
        return usageProblem("--ad-server takes an http URL, not \"" + value + "\"");
      }
    } else if (arg == "--resolve") {
      if (!platform::HostResolution::shared().mapFromText(value)) {
        return usageProblem("--resolve takes HOST:PORT:ADDRESS, not \"" + value + "\"");
      }
    } else {
      return usageProblem("unknown option " + arg);
    }
  }
  return options;
}

// Sends the ad network's host names to the chosen server; an explicit --resolve of the same
// host, read before, keeps its own mapping.
void mapAdHosts(const std::string& address, std::uint16_t port) {
  auto& resolution = platform::HostResolution::shared();
  for (const char* host : {kZUVStaticContentHost, kZUVAdServerHost}) {
    if (!resolution.mappingForHost(host)) resolution.map(host, address, port);
  }
}

// The demo ad server, or nothing with a problem printed.
std::unique_ptr<adserver::AdServer> startAdServer(const Options& options) {
  if (!options.adServer.empty()) {
    auto url = platform::URL::parse(options.adServer);
    mapAdHosts(url->host(), static_cast<std::uint16_t>(url->port() < 0 ? 80 : url->port()));
    return nullptr;
  }
  adserver::AdServerOptions serverOptions;
  serverOptions.adOrigin = kZUVAdServerOrigin;
  auto server = adserver::AdServer::start(serverOptions);
  if (!server) {
    std::cerr << "velour: no demo ad server: " << server.error().localizedDescription() << "\n";
    return nullptr;
  }
  mapAdHosts("127.0.0.1", static_cast<std::uint16_t>((*server)->port()));
  return std::move(server).value();
}

// SIGINT and SIGTERM end the session as "quit" does, through the application's own end. The
// handler only wakes the run loop (and ends a script read from standard input, as its end
// would); a second signal meets the default action.
int stopPipe[2] = {-1, -1};
int devNull = -1;

void askToStop(int) {
  const int saved = errno;
  const char byte = 1;
  if (stopPipe[1] >= 0 && ::write(stopPipe[1], &byte, 1) < 0) {
    // A full pipe already holds the request.
  }
  if (devNull >= 0) ::dup2(devNull, STDIN_FILENO);
  errno = saved;
}

void catchStopSignals() {
  if (::pipe2(stopPipe, O_NONBLOCK | O_CLOEXEC) != 0) stopPipe[0] = stopPipe[1] = -1;
  devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  struct sigaction action {};
  action.sa_handler = askToStop;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

platform::Registration watchStopSignals(velour::Driver& driver) {
  if (stopPipe[0] < 0) return {};
  return platform::RunLoop::main().watchFd(stopPipe[0], platform::kFdReadable, [&driver](unsigned) {
    char bytes[16];
    while (::read(stopPipe[0], bytes, sizeof bytes) > 0) {
    }
    driver.requestQuit();
  });
}

// Output that could not be written (a full disk) fails the run instead of vanishing.
int reportLostOutput(int status) {
  if (std::cout.flush()) return status;
  std::cerr << "velour: could not write the output\n";
  return 1;
}

int drive(const Options& options, adserver::AdServer* adServer) {
  velour::Driver driver(std::cout, std::cerr);
  driver.captureLog();
  driver.setViewableRefresh(options.viewableRefresh);
  if (adServer) driver.setAdRecord(&adServer->record());
  platform::Registration stopWatch = watchStopSignals(driver);
  bool ok = true;
  if (options.script.empty() && ::isatty(STDIN_FILENO)) {
    ok = driver.runInteractive(STDIN_FILENO);
  } else if (options.script.empty() || options.script == "-") {
    ok = driver.runScript(std::cin, true);
  } else {
    std::ifstream file(options.script);
    ok = driver.runScript(file, true);
  }
  return reportLostOutput(ok ? 0 : 1);
}

}  // namespace

int main(int argc, char** argv) {
  catchStopSignals();
  useSoundboardBundle();
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::cout << "velour " << VOZAVE_VERSION_STRING << "\n";
    return reportLostOutput(0);
  }
  auto parsed = parseOptions(argc, argv);
  if (!parsed) {
    std::cerr << "velour: " << parsed.error().localizedDescription()
              << "\nRun \"velour --help\" for the options.\n";
    return 2;
  }
  const Options options = std::move(parsed).value();
  if (options.help) {
    std::cout << kUsage << velour::Driver::helpText();
    return reportLostOutput(0);
  }
  if (!options.script.empty() && options.script != "-" &&
      (platform::FileManager::defaultManager().isDirectory(options.script) ||
       !std::ifstream(options.script))) {
    std::cerr << "velour: cannot read script " << options.script << "\n";
    return 2;
  }
  if (platform::Bundle::main().resourcePath().empty()) {
    std::cerr << "velour: no resources beside the program (share/vozave/resources under its "
                 "prefix); set VELOUR_RESOURCES to the folder\n";
    return 2;
  }
  auto adServer = startAdServer(options);
  bool interactive = options.script.empty() && ::isatty(STDIN_FILENO);
  platform::Harness::resetRunLoop(!interactive);
  if (!options.home.empty()) platform::FileManager::defaultManager().setHomeDirectory(options.home);
  platform::Application::setDriver(
      [&options, &adServer] { return drive(options, adServer.get()); });
  char* appArgv[] = {argv[0], nullptr};
  return velourMain(1, appArgv);
}
