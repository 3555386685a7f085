#pragma once

/// @file
/// platform::Point, platform::Rect and the autoresizing flags, with their text forms.

#include <string>

#include "velourphone/Device.h"  // Size
#include "velourphone/Export.h"

namespace platform {

// A position in points, in some view's coordinates.
struct Point {
  // x: across, growing to the right.
  double x = 0, y = 0;                            // y: down, growing downwards
  bool operator==(const Point&) const = default;  // same x and y
};

// An upright rectangle: a frame or bounds, in points.
struct Rect {
  Point origin;  // the top-left corner
  Size size;     // width and height

  Rect() = default;
  // The rectangle at (x, y) of that size.
  Rect(double x, double y, double width, double height) : origin{x, y}, size{width, height} {}

  double minX() const { return origin.x; }                    // the left edge
  double minY() const { return origin.y; }                    // the top edge
  double maxX() const { return origin.x + size.width; }       // the right edge
  double maxY() const { return origin.y + size.height; }      // the bottom edge
  double midX() const { return origin.x + size.width / 2; }   // the horizontal centre
  double midY() const { return origin.y + size.height / 2; }  // the vertical centre
  // Half-open on the far edges, as the platform's hit testing treats them.
  bool contains(Point p) const {
    return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
  }
  // No area: a width or height of zero or less.
  bool isEmpty() const { return size.width <= 0 || size.height <= 0; }
  bool operator==(const Rect&) const = default;  // same origin and size
};

// How a view follows its superview's size changes; the platform's flag values.
enum AutoresizingMask : unsigned {
  kAutoresizingNone = 0,
  kAutoresizingFlexibleLeftMargin = 1,
  kAutoresizingFlexibleWidth = 2,
  kAutoresizingFlexibleRightMargin = 4,
  kAutoresizingFlexibleTopMargin = 8,
  kAutoresizingFlexibleHeight = 16,
  kAutoresizingFlexibleBottomMargin = 32,
};

// "x,y,width,height" with the shortest text for each number.
VOZAVE_API std::string describeRect(const Rect& rect);
VOZAVE_API std::string describeNumber(double value);  // the shortest text for the number

}  // namespace platform
