#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "ads/support/ZUVCachedFile.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Result.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/HostResolution.h"
#include "tools/vozave/Command.h"

namespace vozave {

namespace {

// Prints each operation of the cached file as it comes.
class PrintingDelegate : public ZUVCachedFileDelegate {
 public:
  bool ended = false;
  bool succeeded = false;

  void cachedFileDownloadDidEnd(ZUVCachedFile&) override {
    std::cout << "callback: download did end\n";
    ended = succeeded = true;
  }
  void cachedFileDownloadDidFail(ZUVCachedFile&,
                                 const std::optional<platform::Error>& error) override {
    std::cout << "callback: download did fail";
    if (error) {
      std::cout << ": " << error->domain << " " << error->code << " "
                << error->localizedDescription();
    } else {
      std::cout << " (no error)";
    }
    std::cout << "\n";
    ended = true;
  }
  std::optional<platform::Error> cachedFileShouldRedirectToURL(ZUVCachedFile&,
                                                               const platform::URL& url) override {
    std::cout << "callback: should redirect to " << url.absoluteString() << "\n";
    return std::nullopt;
  }
};

struct FetchOptions {
  std::string url;
  std::string home;
  bool cacheBuster = false;
};

platform::Result<FetchOptions> parseFetchArguments(const Arguments& args) {
  FetchOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--cache-buster") {
      options.cacheBuster = true;
    } else if (arg == "--home" || arg == "--resolve") {
      if (i + 1 == args.size()) return usageProblem(arg + " needs a value");
      const std::string& value = args[++i];
      if (arg == "--home") {
        options.home = value;
      } else if (!platform::HostResolution::shared().mapFromText(value)) {
        return usageProblem("--resolve takes host:port:address, not " + value);
      }
    } else if (arg.starts_with("--") || !options.url.empty()) {
      return usageProblem("unexpected argument " + arg);
    } else {
      options.url = arg;
    }
  }
  if (options.url.empty()) return usageProblem("fetch takes a URL");
  return options;
}

void printResult(ZUVCachedFile& file) {
  std::cout << "status: " << file.httpStatusCode() << "\n";
  for (const auto& [name, value] : file.httpHeaders()) {
    std::cout << "header: " << name << ": " << value << "\n";
  }
  std::cout << "destination: " << file.httpDestinationURL().absoluteString() << "\n";
  std::cout << "content: " << (file.content() ? "present" : "absent") << "\n";
}

int fetch(const Arguments& args) {
  auto parsed = parseFetchArguments(args);
  if (!parsed) return usageError(parsed.error().localizedDescription());
  const FetchOptions& options = *parsed;
  auto url = platform::URL::parse(options.url);
  if (!url) {
    std::cerr << "vozave: not a URL: " << options.url << "\n";
    return 1;
  }
  if (!options.home.empty()) platform::FileManager::defaultManager().setHomeDirectory(options.home);

  auto delegate = std::make_shared<PrintingDelegate>();
  auto file = ZUVCachedFile::create(delegate, *url);
  std::cout << "file: " << file->filePath().value_or("(none)") << "\n";
  auto since = file->fileModificationDate();
  std::cout << "request: GET " << url->absoluteString() << "\n";
  std::cout << (since ? "If-Modified-Since: " + *since : std::string("no cached copy: full fetch"))
            << "\n";
  options.cacheBuster ? file->validateWithCacheBuster() : file->validate();
  // The connection's time-outs end every fetch; the cap only guards against a stuck loop.
  platform::RunLoop::main().runUntil([&] { return delegate->ended; }, platform::seconds(3600));
  printResult(*file);
  return delegate->succeeded ? 0 : 1;
}

}  // namespace

std::vector<Command> fetchCommands() {
  return {
      {"fetch",
       "  fetch URL [--home DIR] [--resolve host:port:address]... [--cache-buster]\n"
       "      fetch URL once into DIR's caches folder as the ad client does, printing each\n"
       "      callback, the status, the header fields and the destination URL; a second run\n"
       "      sends the conditional request\n",
       fetch},
  };
}

}  // namespace vozave
