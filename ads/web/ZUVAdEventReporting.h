#pragma once

// What the full-screen ad controllers and the opener tell the application's delegates: that an
// ad takes the screen, starts to give it back and has given it back, and that the user leaves
// the application. The delegate fan-out, which lives above this layer, implements it.
class ZUVAdEventReporting {
 public:
  virtual ~ZUVAdEventReporting() = default;
  virtual void willPresentScreen() = 0;
  virtual void willDismissScreen() = 0;
  virtual void didDismissScreen() = 0;
  virtual void willLeaveApplication() = 0;
};
