#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "platform/foundation/Registration.h"
#include "platform/ui/Geometry.h"

namespace platform {

class View;

// How much of a view a person can see, for an ad container's exposure and viewability
// reports; the views and the application tell it when something that may change it changed.
//
// The rules. The view's frame is clipped by every ancestor's bounds (clipping or not: a part
// outside its superview counts as unseen, as measurement standards count it) and by the screen
// (the window's bounds, turned to the interface orientation). What is drawn above it covers
// it: its own subviews, and the later siblings of the view and of each ancestor, with their
// subtrees, each clipped by its own ancestors; the status bar while it shows. A view draws
// where it is shown (not hidden, alpha at least 0.01; translucent still covers) and has a
// background colour other than none or "clear", or draws content of its own
// (View::drawsContent: a web page, a titled or pictured button, a label's text, a bar, a
// spinner). A full screen presented over the view takes its controller's view out of the
// window, and an information screen's flip side is a later sibling with a background, so both
// cover. Nothing shows while the view or an ancestor (the window too) is hidden or transparent,
// the view is in no window, or the application is in the background.
struct Exposure {
  double percent = 0;            // 0 ... 100, of the view's whole frame
  std::optional<Rect> visible;   // in the view's own coordinates; none while nothing shows
  std::vector<Rect> occlusions;  // the covered parts of `visible`, in the view's coordinates
};

Exposure exposureOf(const View& view);

// `changed` is called on a later pass after anything that may change any view's exposure:
// frames, hidden, alpha and background of views, titles and texts, the view tree (presented
// screens, tab switches, windows), the status bar, the application going to or from the
// background. Changes within a pass come as one call. Cancelling the registration stops the
// calls, also one that is already posted.
[[nodiscard]] Registration observeExposureChanges(std::function<void()> changed);

// For the views and the application: something that may change an exposure changed. Costs a
// check while nobody observes.
void exposureMayHaveChanged();

}  // namespace platform
