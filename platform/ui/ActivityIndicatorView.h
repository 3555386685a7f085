#pragma once

#include <memory>

#include "platform/ui/View.h"

namespace platform {

// The platform's activity indicator styles.
enum class ActivityIndicatorViewStyle { WhiteLarge = 0, White = 1, Gray = 2 };

// The spinning wheel that full-screen ads show while a page loads. Sized by its style (37
// points for the large one, 20 for the others); hidden while it is stopped unless told
// otherwise; takes no touches.
class ActivityIndicatorView : public View {
 public:
  static std::shared_ptr<ActivityIndicatorView> create(
      ActivityIndicatorViewStyle style = ActivityIndicatorViewStyle::White);
  explicit ActivityIndicatorView(ActivityIndicatorViewStyle style);

  ActivityIndicatorViewStyle style() const { return style_; }
  void setStyle(ActivityIndicatorViewStyle style) { style_ = style; }

  void startAnimating();
  void stopAnimating();
  bool isAnimating() const { return animating_; }
  bool hidesWhenStopped() const { return hidesWhenStopped_; }
  void setHidesWhenStopped(bool hides);

  bool drawsContent() const override { return true; }
  std::string describe() const override;
  std::string className() const override { return "ActivityIndicatorView"; }

 private:
  ActivityIndicatorViewStyle style_;
  bool animating_ = false;
  bool hidesWhenStopped_ = true;
};

}  // namespace platform
