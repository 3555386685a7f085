// velour: the headless phone. Runs the soundboard and drives it from a script, from standard
// input or from an interactive prompt.
#include "app/main.h"

#include <unistd.h>

#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>

#include "ads/support/ZUVEndpoints.h"
#include "platform/device/Device.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/HostResolution.h"
#include "platform/ui/Application.h"
#include "tools/adserver/AdServer.h"
#include "tools/velour/Driver.h"
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
    "              [--help]\n"
    "Runs the Velour soundboard on a headless phone.\n"
    "  --script FILE  read commands from FILE (\"-\" for standard input)\n"
    "  --home DIR     the device's home folder (default: ./.home)\n"
    "  --device KEY=VALUE  a value of the device profile (see vozave help), e.g. model=iPad\n"
    "  --resolve HOST:PORT:ADDRESS  connections to HOST go to ADDRESS:PORT (fetches and web\n"
    "                 views), e.g. ads.vozave.com:8080:127.0.0.1\n"
    "  --ad-server URL  send the ad network's hosts to the server at URL (http://HOST:PORT)\n"
    "                 instead of the demo ad server that velour runs by default\n"
    "  --viewable-refresh  a banner's refresh that falls due while less than half of it can\n"
    "                 be seen waits until half of it can\n"
    "Without --script, commands come from standard input: at a prompt when it is a terminal.\n"
    "In a script the clock is simulated: \"wait 2\" moves time on at once.\n\n";

bool parseOptions(int argc, char** argv, Options& options, std::string& problem) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto needsValue = [&](std::string& into) {
      if (i + 1 >= argc) {
        problem = arg + " needs a value";
        return false;
      }
      into = argv[++i];
      return true;
    };
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--viewable-refresh") {
      options.viewableRefresh = true;
    } else if (arg == "--script") {
      if (!needsValue(options.script)) return false;
    } else if (arg == "--home") {
      if (!needsValue(options.home)) return false;
    } else if (arg == "--device") {
      std::string setting;
      if (!needsValue(setting)) return false;
      auto equals = setting.find('=');
      if (equals == std::string::npos) {
        problem = "--device takes KEY=VALUE";
        return false;
      }
      auto set = platform::DeviceProfile::current().setValueForKey(setting.substr(0, equals),
                                                                   setting.substr(equals + 1));
      if (!set) {
        problem = set.error().localizedDescription();
        return false;
      }
    } else if (arg == "--ad-server") {
      if (!needsValue(options.adServer)) return false;
      auto url = platform::URL::parse(options.adServer);
      if (!url || url->scheme() != "http" || url->host().empty()) {
        problem = "--ad-server takes an http URL, not \"" + options.adServer + "\"";
        return false;
      }
    } else if (arg == "--resolve") {
      std::string mapping;
      if (!needsValue(mapping)) return false;
      if (!platform::HostResolution::shared().mapFromText(mapping)) {
        problem = "--resolve takes HOST:PORT:ADDRESS, not \"" + mapping + "\"";
        return false;
      }
    } else {
      problem = "unknown option " + arg;
      return false;
    }
  }
  return true;
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
  std::string problem;
  auto server = adserver::AdServer::start(serverOptions, problem);
  if (!server) {
    std::cerr << "velour: no demo ad server: " << problem << "\n";
    return nullptr;
  }
  mapAdHosts("127.0.0.1", static_cast<std::uint16_t>(server->port()));
  return server;
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
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::cout << "velour " << VOZAVE_VERSION_STRING << "\n";
    return reportLostOutput(0);
  }
  Options options;
  std::string problem;
  if (!parseOptions(argc, argv, options, problem)) {
    std::cerr << "velour: " << problem << "\n" << kUsage;
    return 2;
  }
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
  auto adServer = startAdServer(options);
  bool interactive = options.script.empty() && ::isatty(STDIN_FILENO);
  platform::RunLoop::main().reset(!interactive);
  if (!options.home.empty()) platform::FileManager::defaultManager().setHomeDirectory(options.home);
  platform::Application::setDriver(
      [&options, &adServer] { return drive(options, adServer.get()); });
  char* appArgv[] = {argv[0], nullptr};
  return velourMain(1, appArgv);
}
