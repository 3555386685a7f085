#include <signal.h>

#include <charconv>
#include <iostream>

#include "tools/adserver/AdServer.h"
#include "tools/adserver/AdServerEndpoints.h"
#include "tools/vozave/Command.h"

namespace vozave {

namespace {

// `options` with the command line's settings over them.
platform::Result<adserver::AdServerOptions> readServeOptions(const Arguments& args,
                                                             adserver::AdServerOptions options) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (i + 1 >= args.size()) {
      return usageProblem(arg.rfind("--", 0) == 0 ? arg + " needs a value" : "unexpected " + arg);
    }
    const std::string& value = args[++i];
    if (arg == "--port") {
      auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), options.port);
      if (error != std::errc() || end != value.data() + value.size() || options.port < 0 ||
          options.port > 65535) {
        return usageProblem("--port takes a number from 0 to 65535");
      }
    } else if (arg == "--inventory") {
      options.inventoryPath = value;
    } else if (arg == "--log") {
      options.logPath = value;
    } else {
      return usageProblem("unexpected " + arg);
    }
  }
  return options;
}

int serve(const Arguments& args) {
  adserver::AdServerOptions defaults;
  defaults.adOrigin = std::string("http://") + adserver::kAdHost;
  auto options = readServeOptions(args, defaults);
  if (!options) return usageError(options.error().localizedDescription());
  // Ctrl-C and termination are taken by sigwait below rather than ending the process, so that
  // the server stops cleanly; the server's threads inherit the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  auto started = adserver::AdServer::start(std::move(options).value());
  if (!started) {
    std::cerr << "vozave: " << started.error().localizedDescription() << "\n";
    return 1;
  }
  auto server = std::move(started).value();
  std::cout << "Vozave demo ad server on " << server->localURL("") << "\n"
            << "report: " << server->localURL(adserver::kReportPath) << "\n"
            << "point the client at it with:";
  for (const std::string& mapping : server->resolveArguments()) {
    std::cout << " --resolve " << mapping;
  }
  std::cout << "\nCtrl-C stops it." << std::endl;
  int received = 0;
  sigwait(&stopSignals, &received);
  server->stop();
  std::cout << "stopped" << std::endl;
  return 0;
}

}  // namespace

std::vector<Command> serveCommands() {
  return {
      {"serve",
       "  serve [--port N] [--inventory FILE] [--log FILE]\n"
       "      run the demo ad server on 127.0.0.1 until Ctrl-C; print its address and the\n"
       "      --resolve options that send the vendor's host names to it\n",
       serve},
  };
}

}  // namespace vozave
