#pragma once

/// @file
/// platform::AnimationRecord and its changes: what a committed animation block set, as a
/// real screen would have shown it.

#include <memory>
#include <string>
#include <vector>

#include "velourphone/Time.h"

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
  std::weak_ptr<View> view;     // the changed view, while it lives
  std::string viewDescription;  // that view as logs show it, kept after it is gone
  std::string property;         // "frame", "alpha", "hidden", "backgroundColor", "subviews"
  std::string value;            // the end value as text
};

// A committed animation. Headless, the end state is applied at once; the record keeps what
// a real screen would have shown.
struct AnimationRecord {
  std::string name;                  // as the block was begun with
  Duration duration = seconds(0.2);  // how long a real screen would have animated
  AnimationTransition transition = AnimationTransition::None;  // the view transition, if any
  std::weak_ptr<View> transitionView;                          // the view it applies to
  std::string transitionViewDescription;  // that view as logs show it, kept after it is gone
  bool cache = false;                     // whether the transition asked to cache the view's image
  Instant committedAt;                    // run-loop time
  std::vector<AnimationChange> changes;   // in the order they were set
};

}  // namespace platform
