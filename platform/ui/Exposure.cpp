#include "platform/ui/Exposure.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace platform {

namespace {

// Below this a view is transparent, as hit testing has it.
constexpr double kTransparentAlpha = 0.01;

Rect intersection(const Rect& a, const Rect& b) {
  const double left = std::max(a.minX(), b.minX());
  const double top = std::max(a.minY(), b.minY());
  const double right = std::min(a.maxX(), b.maxX());
  const double bottom = std::min(a.maxY(), b.maxY());
  if (right <= left || bottom <= top) return {};
  return Rect(left, top, right - left, bottom - top);
}

bool contains(const Rect& outer, const Rect& inner) {
  return inner.minX() >= outer.minX() && inner.minY() >= outer.minY() &&
         inner.maxX() <= outer.maxX() && inner.maxY() <= outer.maxY();
}

double area(const Rect& r) {
  return r.isEmpty() ? 0 : r.size.width * r.size.height;
}

bool isShown(const View& view) {
  return !view.isHidden() && view.alpha() >= kTransparentAlpha;
}

bool draws(const View& view) {
  const std::string& color = view.backgroundColor();
  return view.drawsContent() || (!color.empty() && color != "clear");
}

// Where `view` and its subtree draw within `clip` (window coordinates), each view clipped by
// its ancestors.
void addDrawn(const View& view, Rect clip, std::vector<Rect>& drawn) {
  if (!isShown(view)) return;
  clip = intersection(clip, view.frameInWindow());
  if (clip.isEmpty()) return;
  if (draws(view) && std::none_of(drawn.begin(), drawn.end(),
                                  [&](const Rect& known) { return contains(known, clip); })) {
    drawn.push_back(clip);
  }
  for (const auto& sub : view.subviews()) addDrawn(*sub, clip, drawn);
}

// The area that the rectangles cover together, overlaps counted once: over the grid of their
// edges, each cell is covered or not.
double unionArea(const std::vector<Rect>& rects) {
  std::vector<double> xs;
  std::vector<double> ys;
  for (const Rect& r : rects) {
    xs.insert(xs.end(), {r.minX(), r.maxX()});
    ys.insert(ys.end(), {r.minY(), r.maxY()});
  }
  std::sort(xs.begin(), xs.end());
  std::sort(ys.begin(), ys.end());
  double covered = 0;
  for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
    for (std::size_t j = 0; j + 1 < ys.size(); ++j) {
      const Rect cell(xs[i], ys[j], xs[i + 1] - xs[i], ys[j + 1] - ys[j]);
      if (cell.isEmpty()) continue;
      const Point centre{cell.midX(), cell.midY()};
      if (std::any_of(rects.begin(), rects.end(),
                      [&](const Rect& r) { return r.contains(centre); })) {
        covered += area(cell);
      }
    }
  }
  return covered;
}

struct Observers {
  std::map<std::uint64_t, std::function<void()>> byId;
  std::uint64_t nextId = 1;
  // Held by the posted notice while it waits: a reset of the run loop that drops it unrun does
  // not keep the next one from being posted.
  std::weak_ptr<const void> pending;
};

std::shared_ptr<Observers>& observers() {
  static auto all = std::make_shared<Observers>();
  return all;
}

void notifyObservers() {
  Observers& all = *observers();
  all.pending.reset();
  std::vector<std::uint64_t> ids;
  for (const auto& [id, changed] : all.byId) ids.push_back(id);
  for (std::uint64_t id : ids) {
    auto found = all.byId.find(id);
    if (found == all.byId.end()) continue;  // cancelled by an earlier observer
    auto changed = found->second;
    changed();
  }
}

}  // namespace

Exposure exposureOf(const View& view) {
  if (Application::shared()->applicationState() == ApplicationState::Background) return {};
  const Rect frame = view.frameInWindow();
  Rect visible = frame;
  const View* top = &view;
  for (auto ancestor = view.superview(); ancestor; ancestor = ancestor->superview()) {
    top = ancestor.get();
    // The window's own frame stays upright as the interface turns: the screen's edge is its
    // bounds turned to the interface orientation, below.
    if (!ancestor->superview()) break;
    visible = intersection(visible, ancestor->frameInWindow());
  }
  for (const View* v = &view; v; v = v->superview().get()) {
    if (!isShown(*v)) return {};
  }
  const auto* window = dynamic_cast<const Window*>(top);
  if (!window) return {};
  visible = intersection(visible, window->interfaceBounds());
  if (visible.isEmpty()) return {};

  std::vector<Rect> drawn;
  const Rect statusBar = intersection(visible, Application::shared()->statusBarFrame());
  if (!statusBar.isEmpty()) drawn.push_back(statusBar);
  for (const auto& sub : view.subviews()) addDrawn(*sub, visible, drawn);
  const View* child = &view;
  for (auto parent = view.superview(); parent; parent = parent->superview()) {
    const auto& siblings = parent->subviews();
    auto at = std::find_if(siblings.begin(), siblings.end(),
                           [child](const std::shared_ptr<View>& s) { return s.get() == child; });
    for (auto later = at == siblings.end() ? at : at + 1; later != siblings.end(); ++later) {
      addDrawn(**later, visible, drawn);
    }
    child = parent.get();
  }

  const double shown = area(visible) - unionArea(drawn);
  Exposure exposure;
  exposure.percent = std::clamp(100 * shown / area(frame), 0.0, 100.0);
  if (exposure.percent <= 0) return {};
  // From the window's coordinates to the view's own.
  const double dx = view.bounds().origin.x - frame.origin.x;
  const double dy = view.bounds().origin.y - frame.origin.y;
  auto own = [dx, dy](Rect r) {
    r.origin.x += dx;
    r.origin.y += dy;
    return r;
  };
  exposure.visible = own(visible);
  for (const Rect& r : drawn) exposure.occlusions.push_back(own(r));
  return exposure;
}

Registration observeExposureChanges(std::function<void()> changed) {
  std::shared_ptr<Observers>& all = observers();
  const std::uint64_t id = all->nextId++;
  all->byId.emplace(id, std::move(changed));
  return Registration(id, [weak = std::weak_ptr<Observers>(all), id] {
    if (auto still = weak.lock()) still->byId.erase(id);
  });
}

void exposureMayHaveChanged() {
  Observers& all = *observers();
  if (all.byId.empty() || !all.pending.expired()) return;
  auto token = std::make_shared<char>();
  all.pending = token;
  RunLoop::main().post([token] { notifyObservers(); });
}

}  // namespace platform
