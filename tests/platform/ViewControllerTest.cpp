#include <gtest/gtest.h>

#include "platform/harness/Harness.h"
#include "platform/ui/Application.h"
#include "platform/ui/MailComposeViewController.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/Window.h"
#include "tests/support/TestWorld.h"

using platform::Application;
using platform::InterfaceOrientation;
using platform::MailComposeResult;
using platform::MailComposeViewController;
using platform::ModalTransitionStyle;
using platform::Rect;
using platform::TabBarController;
using platform::ViewController;
using platform::Window;

namespace {

using Events = std::vector<std::string>;

// Notes every call it receives as "<name> <call>".
class Recorder : public ViewController {
 public:
  Recorder(std::string name, Events& events, std::string className = "Recorder")
      : ViewController(std::move(className)), name_(std::move(name)), events_(events) {}
  void viewDidLoad() override { note("load"); }
  void viewDidUnload() override { note("unload"); }
  void viewWillAppear(bool) override { note("willAppear"); }
  void viewDidAppear(bool) override { note("didAppear"); }
  void viewWillDisappear(bool) override { note("willDisappear"); }
  void viewDidDisappear(bool) override { note("didDisappear"); }
  bool shouldAutorotateToInterfaceOrientation(InterfaceOrientation o) override {
    return rotates || o == InterfaceOrientation::Portrait;
  }
  void willRotateToInterfaceOrientation(InterfaceOrientation, platform::Duration) override {
    note("willRotate");
  }
  void didRotateFromInterfaceOrientation(InterfaceOrientation) override { note("didRotate"); }

  bool rotates = false;

 private:
  void note(const std::string& what) { events_.push_back(name_ + " " + what); }
  std::string name_;
  Events& events_;
};

class ViewControllerTest : public ::testing::Test {
 protected:
  velour_test::TestWorld world;
  Events events;
  std::shared_ptr<Window> window = Window::create();
};

TEST_F(ViewControllerTest, TabSwitchesLoadLazilyAndCallAppearanceInThePlatformsOrder) {
  auto a = std::make_shared<Recorder>("a", events);
  auto b = std::make_shared<Recorder>("b", events);
  a->tabBarItem().title = "A";
  b->tabBarItem().title = "B";
  auto tabs = TabBarController::create();
  tabs->setViewControllers({a, b});
  window->setRootViewController(tabs);
  EXPECT_TRUE(events.empty());  // nothing shows before the window does

  window->makeKeyAndVisible();
  EXPECT_EQ(events, (Events{"a load", "a willAppear", "a didAppear"}));
  EXPECT_EQ(a->view()->superview(), tabs->contentView());
  EXPECT_EQ(a->view()->frame(), Rect(0, 0, 320, 411));
  EXPECT_EQ(tabs->tabBar()->frameInWindow(), Rect(0, 431, 320, 49));

  events.clear();
  EXPECT_TRUE(tabs->userSelectTab(1));
  EXPECT_EQ(events,
            (Events{"b load", "a willDisappear", "b willAppear", "a didDisappear", "b didAppear"}));
  EXPECT_EQ(a->view()->superview(), nullptr);

  events.clear();
  EXPECT_TRUE(tabs->userSelectTab(1));
  EXPECT_FALSE(tabs->userSelectTab(2));
  EXPECT_TRUE(events.empty());

  // A memory warning unloads only the view that is off screen.
  Application::shared()->simulateMemoryWarning();
  EXPECT_EQ(events, (Events{"a unload"}));
  events.clear();
  EXPECT_TRUE(window->touchAt({40, 470}));  // the tab bar's first item
  EXPECT_EQ(events,
            (Events{"a load", "b willDisappear", "a willAppear", "b didDisappear", "a didAppear"}));
}

TEST_F(ViewControllerTest, ModalPresentationLinksBothWaysAndSwapsTheViews) {
  auto root = std::make_shared<Recorder>("root", events);
  auto modal = std::make_shared<Recorder>("modal", events);
  window->setRootViewController(root);
  window->makeKeyAndVisible();
  events.clear();

  ASSERT_TRUE(root->presentModalViewController(modal, true));
  EXPECT_EQ(events, (Events{"modal load", "root willDisappear", "modal willAppear",
                            "root didDisappear", "modal didAppear"}));
  EXPECT_EQ(root->modalViewController(), modal);
  EXPECT_EQ(modal->parentViewController(), root);
  EXPECT_EQ(root->view()->superview(), nullptr);
  EXPECT_FALSE(
      root->presentModalViewController(std::make_shared<Recorder>("other", events), false));
  EXPECT_EQ(root->modalViewController(), modal);
  EXPECT_TRUE(world.log().contains("already presents"));

  events.clear();
  std::weak_ptr<ViewController> gone = modal;
  modal->dismissModalViewController(true);  // asks its presenter
  EXPECT_EQ(events, (Events{"modal willDisappear", "root willAppear", "modal didDisappear",
                            "root didAppear"}));
  EXPECT_EQ(root->modalViewController(), nullptr);
  EXPECT_EQ(root->view()->superview(), window);
  modal.reset();
  EXPECT_TRUE(gone.expired());  // the presenter owned it; the back link did not

  // A tab's controller presents over the whole tab bar controller.
  auto tab = std::make_shared<Recorder>("tab", events);
  auto tabs = TabBarController::create();
  tabs->setViewControllers({tab});
  window->setRootViewController(tabs);
  auto sheet = std::make_shared<Recorder>("sheet", events);
  ASSERT_TRUE(tab->presentModalViewController(sheet, false));
  EXPECT_EQ(tabs->modalViewController(), sheet);
  EXPECT_EQ(tabs->view()->superview(), nullptr);
  tab->dismissModalViewController(false);
  EXPECT_EQ(tabs->view()->superview(), window);
}

TEST_F(ViewControllerTest, PresentedControllersChainAndEachDismissalUnwindsOneStep) {
  auto root = std::make_shared<Recorder>("root", events);
  auto first = std::make_shared<Recorder>("first", events);
  auto second = std::make_shared<Recorder>("second", events);
  window->setRootViewController(root);
  window->makeKeyAndVisible();
  auto app = Application::shared();
  app->setStatusBarHiddenWithAnimation(true, platform::StatusBarAnimation::Fade);
  first->setModalTransitionStyle(ModalTransitionStyle::CrossDissolve);

  ASSERT_TRUE(root->presentModalViewController(first, true));
  ASSERT_TRUE(first->presentModalViewController(second, false));
  EXPECT_EQ(window->topViewController(), second);
  EXPECT_EQ(second->view()->frame(), Rect(0, 0, 320, 480));  // the bar is hidden
  const auto& log = platform::Harness::presentationLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_TRUE(log[0].presented && log[0].animated);
  EXPECT_EQ(log[0].transitionStyle, ModalTransitionStyle::CrossDissolve);

  app->setStatusBarHiddenAnimated(false, true);
  second->dismissModalViewController(true);
  EXPECT_EQ(first->view()->frame(), Rect(0, 20, 320, 460));  // the bar is back
  ASSERT_EQ(log.size(), 3u);
  first->dismissModalViewController(true);
  EXPECT_EQ(window->topViewController(), root);
  EXPECT_EQ(root->view()->superview(), window);

  // Dismissing the middle of a chain takes down what it presents as well.
  ASSERT_TRUE(root->presentModalViewController(first, false));
  ASSERT_TRUE(first->presentModalViewController(second, false));
  root->dismissModalViewController(false);
  EXPECT_EQ(window->topViewController(), root);
  EXPECT_EQ(window->subviews().size(), 1u);
  for (std::size_t i = 0; i < platform::Harness::kPresentationLogLimit; ++i) {
    ASSERT_TRUE(root->presentModalViewController(first, false));
    root->dismissModalViewController(true);
  }
  ASSERT_EQ(log.size(), platform::Harness::kPresentationLogLimit);  // the latest only
  EXPECT_TRUE(log.back().animated && !log.back().presented);

  std::vector<std::pair<bool, platform::StatusBarAnimation>> changes;
  for (const auto& c : app->statusBarChanges()) changes.emplace_back(c.hidden, c.animation);
  EXPECT_EQ(changes, (std::vector<std::pair<bool, platform::StatusBarAnimation>>{
                         {true, platform::StatusBarAnimation::Fade},
                         {false, platform::StatusBarAnimation::Slide}}));
}

// Dismisses the composer when it is done, as the ad client's opener does, and makes the
// presenter first responder again.
class MailFinisher : public platform::MailComposeViewControllerDelegate {
 public:
  void mailComposeControllerDidFinishWithResult(
      const std::shared_ptr<MailComposeViewController>& controller, MailComposeResult result,
      const platform::Error* error) override {
    results.push_back(result);
    errorCodes.push_back(error ? error->code : -1);
    auto presenter = controller->parentViewController();
    controller->dismissModalViewController(true);
    if (presenter) presenter->becomeFirstResponder();
  }
  std::vector<MailComposeResult> results;
  std::vector<long> errorCodes;
};

class Responsive : public Recorder {
 public:
  using Recorder::Recorder;
  bool canBecomeFirstResponder() const override { return true; }
};

TEST_F(ViewControllerTest, AMailComposerFinishesOnceAndTellsItsDelegate) {
  auto root = std::make_shared<Responsive>("root", events);
  window->setRootViewController(root);
  window->makeKeyAndVisible();
  auto finisher = std::make_shared<MailFinisher>();
  auto present = [&] {
    auto mail = MailComposeViewController::create();
    mail->setMailComposeDelegate(finisher);
    mail->setToRecipients({"a@example.com"});
    mail->setCcRecipients({"b@example.com", "c@example.com"});
    mail->setSubject("Hi\nthere");
    mail->setMessageBody("<b>body</b>", true);
    EXPECT_TRUE(root->presentModalViewController(mail, true));
    return std::weak_ptr<MailComposeViewController>(mail);
  };

  auto sent = present();
  EXPECT_FALSE(root->isFirstResponder());
  ASSERT_TRUE(sent.lock()->finish(MailComposeResult::Sent));
  EXPECT_TRUE(sent.expired());  // dismissed from inside the delegate call
  EXPECT_TRUE(root->isFirstResponder());
  EXPECT_EQ(window->topViewController(), root);
  auto app = Application::shared();
  ASSERT_EQ(app->sentMail().size(), 1u);
  EXPECT_EQ(app->sentMail()[0].cc, (std::vector<std::string>{"b@example.com", "c@example.com"}));
  EXPECT_TRUE(world.log().contains("mail sent to a@example.com: \"Hi\\nthere\""));

  auto cancelled = present();
  auto keep = cancelled.lock();
  EXPECT_TRUE(keep->finish(MailComposeResult::Cancelled));
  EXPECT_FALSE(keep->finish(MailComposeResult::Sent));  // finished already

  MailComposeViewController::setCanSendMail(false);
  EXPECT_TRUE(present().lock()->finish(MailComposeResult::Sent));
  EXPECT_EQ(finisher->results,
            (std::vector<MailComposeResult>{MailComposeResult::Sent, MailComposeResult::Cancelled,
                                            MailComposeResult::Failed}));
  EXPECT_EQ(finisher->errorCodes,
            (std::vector<long>{-1, -1, platform::kMailComposeErrorSendFailed}));
  EXPECT_EQ(app->sentMail().size(), 1u);

  // A gone controller is no longer first responder.
  root.reset();
  window->setRootViewController(nullptr);
  EXPECT_EQ(platform::Responder::firstResponder(), nullptr);
}

TEST_F(ViewControllerTest, RotationAsksTheFrontControllerAndResizesItsView) {
  auto a = std::make_shared<Recorder>("a", events);
  auto b = std::make_shared<Recorder>("b", events);
  auto tabs = TabBarController::create();
  tabs->setViewControllers({a, b});
  window->setRootViewController(tabs);
  window->makeKeyAndVisible();
  events.clear();
  auto app = Application::shared();

  a->rotates = true;  // b still refuses: the tab bar controller needs every tab to agree
  EXPECT_FALSE(app->setDeviceOrientation(InterfaceOrientation::LandscapeLeft));
  EXPECT_TRUE(events.empty());

  b->rotates = true;
  app->setDeviceOrientation(InterfaceOrientation::Portrait);
  EXPECT_TRUE(app->setDeviceOrientation(InterfaceOrientation::LandscapeLeft));
  EXPECT_EQ(events, (Events{"a willRotate", "a didRotate"}));
  EXPECT_EQ(tabs->view()->frame(), Rect(0, 20, 480, 300));
  EXPECT_EQ(a->view()->frame(), Rect(0, 0, 480, 251));
  EXPECT_EQ(app->statusBarFrame(), Rect(0, 0, 480, 20));
  // The landscape interface lies across the portrait window: its far side still takes touches.
  EXPECT_TRUE(window->touchAt({440, 300}));  // the tab bar's second item
  EXPECT_EQ(tabs->selectedIndex(), 1);
}

// Views built from a resource named after the class, their actions bound, are checked by the
// soundboard's boards.
TEST_F(ViewControllerTest, AViewResourceThatDoesNotReadOrIsNotInTheBundleFallsBackToAPlainView) {
  // An application that names no bundle folder has no layouts, not even the soundboard's.
  auto first = std::make_shared<Recorder>("first", events, "FirstViewController");
  EXPECT_TRUE(first->view()->subviews().empty());
  EXPECT_TRUE(world.log().contains(
      "interface: no FirstViewController.ui in no bundle folder; FirstViewController gets a "
      "plain view"));

  std::string bundle = world.makeFolder("bundle");
  world.writeFile(bundle, "Broken.ui", "view frame=0,0,320,411\nbutton title=\"x frame=1\n");
  world.writeFile(bundle, "FirstViewController.ui",
                  "view frame=0,0,320,411\nlabel text=\"Own\" frame=0,0,100,20\n");
  world.useBundle(bundle);
  auto broken = std::make_shared<Recorder>("broken", events, "Broken");
  EXPECT_TRUE(broken->view()->subviews().empty());
  EXPECT_EQ(broken->view()->frame(), Rect(0, 20, 320, 460));
  EXPECT_TRUE(world.log().contains("interface: Broken.ui:2: "));
  // Its own screens are its own layouts; one it has none for is plain.
  first = std::make_shared<Recorder>("first", events, "FirstViewController");
  EXPECT_EQ(first->view()->subviews().size(), 1u);
  auto second = std::make_shared<Recorder>("second", events, "SecondViewController");
  EXPECT_TRUE(second->view()->subviews().empty());
  EXPECT_TRUE(world.log().contains("interface: no SecondViewController.ui in bundle " + bundle));
}

}  // namespace
