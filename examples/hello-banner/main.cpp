// hello-banner: one window, one screen, one banner. It loads an ad from the ad server at the
// URL it is given (for example the one `vozave serve` prints), prints every delegate call, and
// exits 0 when an ad arrives, 1 on an error or when no ad came in time.
#include <vozave/Vozave.h>

#include <charconv>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>

namespace {

constexpr double kDefaultTimeout = 60;
constexpr int kAdReceived = 0;
constexpr int kNoAd = 1;
constexpr int kUsageError = 2;

// Every delegate message prints one line; the outcome ends the run loop.
std::shared_ptr<ZUVBannerViewDelegate> printingDelegate(int& status) {
  auto delegate = std::make_shared<ZUVBannerViewDelegate>();
  auto stopWith = [&status](int outcome) {
    status = outcome;
    platform::RunLoop::main().stop();
  };
  delegate->adViewDidReceiveAd = [stopWith](platform::View&) {
    std::cout << "adViewDidReceiveAd" << std::endl;
    stopWith(kAdReceived);
  };
  delegate->adViewDidFailToReceiveAdWithError = [stopWith](platform::View&,
                                                           const platform::Error& error) {
    std::cout << "adViewDidFailToReceiveAdWithError: " << error.domain << " " << error.code << ": "
              << error.localizedDescription();
    // Why, in plain words: the server's status, the fetch error, the refusal, the time-out.
    const platform::Value* reason = error.userInfo.find(kZUVErrorReasonKey);
    if (reason && reason->isString()) std::cout << " (" << reason->stringValue() << ")";
    std::cout << std::endl;
    stopWith(kNoAd);
  };
  delegate->adViewWillPresentScreen = [](platform::View&) {
    std::cout << "adViewWillPresentScreen" << std::endl;
  };
  delegate->adViewWillDismissScreen = [](platform::View&) {
    std::cout << "adViewWillDismissScreen" << std::endl;
  };
  delegate->adViewDidDismissScreen = [](platform::View&) {
    std::cout << "adViewDidDismissScreen" << std::endl;
  };
  delegate->adViewWillLeaveApplication = [](platform::View&) {
    std::cout << "adViewWillLeaveApplication" << std::endl;
  };
  return delegate;
}

bool readTimeout(std::string_view text, double& seconds) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  return error == std::errc() && end == text.data() + text.size() && seconds > 0;
}

}  // namespace

int main(int argc, char** argv) {
  double timeout = kDefaultTimeout;
  if ((argc != 2 && argc != 4) ||
      (argc == 4 && (std::string_view(argv[2]) != "--timeout" || !readTimeout(argv[3], timeout)))) {
    std::cerr << "usage: hello-banner AD_SERVER_URL [--timeout SECONDS]\n"
                 "  AD_SERVER_URL  http://HOST:PORT, as `vozave serve` prints it\n";
    return kUsageError;
  }
  if (!ZUVAdNetwork::useServerAtURL(argv[1])) {
    std::cerr << "hello-banner: not an ad server URL: " << argv[1] << "\n";
    return kUsageError;
  }
  std::cout << "Vozave " << vozaveLibraryVersion() << ", ads from " << argv[1] << std::endl;

  // Who the application is, before anything else: ad requests carry it, and the phone's home
  // folder is named by it (~/.local/share/com.example.hello-banner).
  platform::setApplicationIdentity("com.example.hello-banner", "Hello Banner", "1.0");

  // The screen: a window whose root controller's view holds the banner at its foot.
  auto application = platform::Application::shared();
  auto window = platform::Window::create();
  auto controller = std::make_shared<platform::ViewController>();
  window->setRootViewController(controller);
  window->makeKeyAndVisible();
  application->finishLaunching();

  auto screen = controller->view()->bounds();
  auto banner = ZUVBannerView::create(platform::Rect(0, screen.maxY() - 50, screen.size.width, 50));
  banner->setAdUnitID("a14bc0ffee00001");  // the ad network gives 15 hex digits
  banner->setRootViewController(controller);
  int status = kNoAd;
  auto delegate = printingDelegate(status);
  banner->setDelegate(delegate);
  controller->view()->addSubview(banner);

  auto request = ZUVRequest::request();
  request->setTesting(true);
  banner->loadRequest(request);

  auto deadline = platform::RunLoop::main().scheduleTimer(
      platform::seconds(timeout), false, [](platform::Timer&) {
        std::cout << "no ad within the time-out" << std::endl;
        platform::RunLoop::main().stop();
      });
  platform::RunLoop::main().run();
  return status;
}
