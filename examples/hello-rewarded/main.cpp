// hello-rewarded: one window, one screen, one rewarded ad. It loads a rewarded ad from the ad
// server at the URL it is given (for example the one `vozave serve` prints), shows it as soon
// as it is ready, prints every delegate call and the countdown, and exits 0 once the reward
// has been earned, 1 on an error, an early close or when no reward came in time.
#include <vozave/Vozave.h>

#include <charconv>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>

namespace {

constexpr double kDefaultTimeout = 120;
constexpr int kRewardEarned = 0;
constexpr int kNoReward = 1;
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
    std::cerr << "usage: hello-rewarded AD_SERVER_URL [--timeout SECONDS]\n"
                 "  AD_SERVER_URL  http://HOST:PORT, as `vozave serve` prints it\n";
    return kUsageError;
  }
  if (!ZUVAdNetwork::useServerAtURL(argv[1])) {
    std::cerr << "hello-rewarded: not an ad server URL: " << argv[1] << "\n";
    return kUsageError;
  }
  std::cout << "Vozave " << vozaveLibraryVersion() << ", ads from " << argv[1] << std::endl;
  platform::setApplicationIdentity("com.example.hello-rewarded", "Hello Rewarded", "1.0");

  auto window = platform::Window::create();
  auto controller = std::make_shared<platform::ViewController>();
  window->setRootViewController(controller);
  window->makeKeyAndVisible();
  platform::Application::shared()->finishLaunching();

  int status = kNoReward;
  auto stopWith = [&status](int outcome) {
    status = outcome;
    platform::RunLoop::main().stop();
  };
  auto rewarded = ZUVRewardedAd::create("a14bc0ffee00001");
  auto delegate = std::make_shared<ZUVRewardedAdDelegate>();
  delegate->rewardedAdDidReceiveAd = [&](ZUVRewardedAd& ad) {
    std::cout << "rewardedAdDidReceiveAd: " << ad.reward()->amount << " " << ad.reward()->type
              << " for " << platform::toSeconds(ad.remainingWatchTime()) << " s" << std::endl;
    if (auto shown = ad.presentFromRootViewController(controller); !shown) {
      std::cout << "not shown: " << shown.error().localizedDescription() << std::endl;
      stopWith(kNoReward);
    }
  };
  delegate->rewardedAdDidFailToReceiveAdWithError = [&](ZUVRewardedAd&,
                                                        const platform::Error& error) {
    std::cout << "rewardedAdDidFailToReceiveAdWithError: " << error.domain << " " << error.code
              << ": " << error.localizedDescription() << std::endl;
    stopWith(kNoReward);
  };
  delegate->rewardedAdWillPresentScreen = [](ZUVRewardedAd&) {
    std::cout << "rewardedAdWillPresentScreen" << std::endl;
  };
  delegate->rewardedAdDidEarnReward = [&](ZUVRewardedAd&, const ZUVAdReward& reward) {
    std::cout << "rewardedAdDidEarnReward: " << reward.amount << " " << reward.type << std::endl;
    stopWith(kRewardEarned);
  };
  delegate->rewardedAdDidDismissScreen = [&](ZUVRewardedAd&) {
    std::cout << "rewardedAdDidDismissScreen" << std::endl;
    stopWith(kNoReward);  // closed before the reward
  };
  rewarded->setDelegate(delegate);

  auto request = ZUVRequest::request();
  request->setTesting(true);
  rewarded->loadRequest(request);

  // The countdown as the user sees it, every five seconds.
  auto countdown =
      platform::RunLoop::main().scheduleTimer(platform::seconds(5), true, [&](platform::Timer&) {
        if (rewarded->remainingWatchTime() > platform::seconds(0)) {
          std::cout << "reward in " << platform::toSeconds(rewarded->remainingWatchTime()) << " s"
                    << std::endl;
        }
      });
  auto deadline = platform::RunLoop::main().scheduleTimer(
      platform::seconds(timeout), false, [](platform::Timer&) {
        std::cout << "no reward within the time-out" << std::endl;
        platform::RunLoop::main().stop();
      });
  platform::RunLoop::main().run();
  return status;
}
