// hello-interstitial: one window, one screen, one interstitial. It loads an interstitial from
// the ad server at the URL it is given (for example the one `vozave serve` prints), shows it
// over the whole screen as soon as it is ready, prints every delegate call, and exits 0 once
// the ad is on the screen, 1 on an error or when no ad came in time.
#include <vozave/Vozave.h>

#include <charconv>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>

namespace {

constexpr double kDefaultTimeout = 60;
constexpr int kAdShown = 0;
constexpr int kNoAd = 1;
constexpr int kUsageError = 2;

bool readTimeout(std::string_view text, double& seconds) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  return error == std::errc() && end == text.data() + text.size() && seconds > 0;
}

}  // namespace

int main(int argc, char** argv) {
  double timeout = kDefaultTimeout;
  if ((argc != 2 && argc != 4) ||
      (argc == 4 && (std::string_view(argv[2]) != "--timeout" || !readTimeout(argv[3], timeout)))) {
    std::cerr << "usage: hello-interstitial AD_SERVER_URL [--timeout SECONDS]\n"
                 "  AD_SERVER_URL  http://HOST:PORT, as `vozave serve` prints it\n";
    return kUsageError;
  }
  if (!ZUVAdNetwork::useServerAtURL(argv[1])) {
    std::cerr << "hello-interstitial: not an ad server URL: " << argv[1] << "\n";
    return kUsageError;
  }
  std::cout << "Vozave " << vozaveLibraryVersion() << ", ads from " << argv[1] << std::endl;
  platform::setApplicationIdentity("com.example.hello-interstitial", "Hello Interstitial", "1.0");

  auto window = platform::Window::create();
  auto controller = std::make_shared<platform::ViewController>();
  window->setRootViewController(controller);
  window->makeKeyAndVisible();
  platform::Application::shared()->finishLaunching();

  int status = kNoAd;
  auto stopWith = [&status](int outcome) {
    status = outcome;
    platform::RunLoop::main().stop();
  };
  auto interstitial = ZUVInterstitialAd::create("a14bc0ffee00001");
  auto delegate = std::make_shared<ZUVInterstitialAdDelegate>();
  // Shown when it is ready: an application would wait for a pause in its own flow.
  delegate->interstitialDidReceiveAd = [&](ZUVInterstitialAd& ad) {
    std::cout << "interstitialDidReceiveAd" << std::endl;
    if (auto shown = ad.presentFromRootViewController(controller); !shown) {
      std::cout << "not shown: " << shown.error().localizedDescription() << std::endl;
      stopWith(kNoAd);
    }
  };
  delegate->interstitialDidFailToReceiveAdWithError = [&](ZUVInterstitialAd&,
                                                          const platform::Error& error) {
    std::cout << "interstitialDidFailToReceiveAdWithError: " << error.domain << " " << error.code
              << ": " << error.localizedDescription() << std::endl;
    stopWith(kNoAd);
  };
  delegate->interstitialWillPresentScreen = [&](ZUVInterstitialAd&) {
    std::cout << "interstitialWillPresentScreen" << std::endl;
    stopWith(kAdShown);
  };
  delegate->interstitialDidDismissScreen = [](ZUVInterstitialAd&) {
    std::cout << "interstitialDidDismissScreen" << std::endl;
  };
  delegate->interstitialDidExpire = [&](ZUVInterstitialAd&) {
    std::cout << "interstitialDidExpire" << std::endl;
    stopWith(kNoAd);
  };
  interstitial->setDelegate(delegate);

  auto request = ZUVRequest::request();
  request->setTesting(true);
  interstitial->loadRequest(request);

  auto deadline = platform::RunLoop::main().scheduleTimer(
      platform::seconds(timeout), false, [](platform::Timer&) {
        std::cout << "no ad within the time-out" << std::endl;
        platform::RunLoop::main().stop();
      });
  platform::RunLoop::main().run();
  return status;
}
