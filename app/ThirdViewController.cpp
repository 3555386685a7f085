#include "app/ThirdViewController.h"

#include "platform/ui/View.h"

using platform::View;

ThirdViewController::ThirdViewController()
    : BoardViewController("ThirdViewController",
                          {"Tada", "Fanfare", "SadTrombone", "Rimshot", "Chime"}) {
  addAction("flipInfo:", [this](const std::shared_ptr<View>&) { flipInfo(); });
}

void ThirdViewController::flipInfo() {
  View::beginAnimations("", nullptr);
  View::setAnimationDuration(platform::seconds(1));
  View::setAnimationTransitionForView(platform::AnimationTransition::FlipFromRight, view(), true);
  auto info = FlipSideView::create();
  infoScreens_.push_back(info);
  view()->addSubview(info->view());
  View::commitAnimations();
}
