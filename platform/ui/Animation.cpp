#include <algorithm>
#include <optional>

#include "platform/foundation/RunLoop.h"
#include "platform/harness/Harness.h"
#include "platform/ui/View.h"

namespace platform {

namespace {

// The open animation block: the outermost block's settings and everything set inside any
// block nested in it.
struct OpenBlock {
  int depth = 0;
  AnimationRecord record;
  std::weak_ptr<Responder> delegate;
  std::string didStopSelector;
};

std::optional<OpenBlock>& openBlock() {
  static std::optional<OpenBlock> block;
  return block;
}

std::vector<AnimationRecord>& records() {
  static std::vector<AnimationRecord> log;
  return log;
}

// Settings made inside a nested block do not change the outer animation.
OpenBlock* outermostSettings() {
  auto& block = openBlock();
  return block && block->depth == 1 ? &*block : nullptr;
}

// The did-stop calls wait for their animation's duration; a reset cancels them.
DelayedCalls& didStopCalls() {
  static DelayedCalls calls;
  return calls;
}

}  // namespace

void View::beginAnimations(const std::string& name, void*) {
  auto& block = openBlock();
  if (block) {
    ++block->depth;
    return;
  }
  block.emplace();
  block->depth = 1;
  block->record.name = name;
}

void View::setAnimationDuration(Duration duration) {
  if (auto* block = outermostSettings())
    block->record.duration = std::max(duration, Duration::zero());
}

void View::setAnimationTransitionForView(AnimationTransition transition,
                                         const std::shared_ptr<View>& view, bool cache) {
  auto* block = outermostSettings();
  if (!block) return;
  block->record.transition = transition;
  block->record.transitionView = view;
  block->record.transitionViewDescription = view ? view->describe() : "";
  block->record.cache = cache;
}

void View::setAnimationDelegate(const std::shared_ptr<Responder>& delegate) {
  if (auto* block = outermostSettings()) block->delegate = delegate;
}

void View::setAnimationDidStopSelector(const std::string& selector) {
  if (auto* block = outermostSettings()) block->didStopSelector = selector;
}

void View::commitAnimations() {
  auto& block = openBlock();
  if (!block) return;
  if (--block->depth > 0) return;
  OpenBlock done = std::move(*block);
  block.reset();
  done.record.committedAt = RunLoop::main().now();
  records().push_back(done.record);
  if (done.didStopSelector.empty() || done.delegate.expired()) return;
  didStopCalls().performAfterDelay(done.record.duration,
                                   [delegate = done.delegate, selector = done.didStopSelector] {
                                     if (auto target = delegate.lock())
                                       target->performAction(selector, nullptr);
                                   });
}

bool View::isInAnimationBlock() {
  return openBlock().has_value();
}

const std::vector<AnimationRecord>& Harness::animationLog() {
  return records();
}

void Harness::clearAnimationLog() {
  records().clear();
}

void Harness::resetAnimations() {
  openBlock().reset();
  records().clear();
  didStopCalls().cancelAll();
}

void View::noteChange(const std::string& property, const std::string& value) {
  auto& block = openBlock();
  if (!block) return;
  block->record.changes.push_back({self(), describe(), property, value});
}

}  // namespace platform
