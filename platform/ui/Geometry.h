#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/device/Device.h"  // Size
#include "platform/foundation/Export.h"

namespace platform {

struct Point {
  double x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

struct Rect {
  Point origin;
  Size size;

  Rect() = default;
  Rect(double x, double y, double width, double height) : origin{x, y}, size{width, height} {}

  double minX() const { return origin.x; }
  double minY() const { return origin.y; }
  double maxX() const { return origin.x + size.width; }
  double maxY() const { return origin.y + size.height; }
  double midX() const { return origin.x + size.width / 2; }
  double midY() const { return origin.y + size.height / 2; }
  // Half-open on the far edges, as the platform's hit testing treats them.
  bool contains(Point p) const {
    return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
  }
  bool isEmpty() const { return size.width <= 0 || size.height <= 0; }
  bool operator==(const Rect&) const = default;
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
VOZAVE_API std::string describeNumber(double value);
// "X,Y": two finite numbers, with blanks around either; nothing for any other text.
std::optional<Point> pointFromText(std::string_view text);

}  // namespace platform
