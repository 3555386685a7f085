#pragma once

#include <memory>
#include <string>
#include <vector>

namespace platform {

class Responder;
class View;

// The platform's view transition values.
enum class AnimationTransition {
  None = 0,
  FlipFromLeft = 1,
  FlipFromRight = 2,
  CurlUp = 3,
  CurlDown = 4
};

// One property of one view set inside an animation block, with its end value as text.
struct AnimationChange {
  std::weak_ptr<View> view;
  std::string viewDescription;
  std::string property;  // "frame", "alpha", "hidden", "backgroundColor", "subviews"
  std::string value;
};

// A committed animation. Headless, the end state is applied at once; the record keeps what
// a real screen would have shown.
struct AnimationRecord {
  std::string name;
  double duration = 0.2;
  AnimationTransition transition = AnimationTransition::None;
  std::weak_ptr<View> transitionView;
  std::string transitionViewDescription;
  bool cache = false;
  double committedAt = 0;  // run-loop time
  std::vector<AnimationChange> changes;
};

}  // namespace platform
