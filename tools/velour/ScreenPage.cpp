#include "tools/velour/ScreenPage.h"

#include <ctime>
#include <sstream>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"
#include "platform/ui/Image.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/Window.h"
#include "platform/web/WebView.h"

namespace velour {

namespace {

using platform::Rect;
using platform::View;

constexpr const char* kStyle =
    "*{margin:0;padding:0;box-sizing:border-box}"
    "body{position:relative;overflow:hidden;font-family:Helvetica,Arial,sans-serif;"
    "font-stretch:condensed}"
    "div,img{position:absolute}"
    ".center{display:flex;align-items:center;justify-content:center;text-align:center}"
    ".status{background:linear-gradient(#e6e6e6,#a9a9a9);color:#000;font-size:12px;"
    "font-weight:bold;display:flex;align-items:center;justify-content:space-between;"
    "padding:0 5px;z-index:1}"
    ".rounded{background:#fff;border:1px solid #8f8f8f;border-radius:9px;color:#385487;"
    "font-weight:bold;font-size:15px}"
    ".custom{color:#fff;font-weight:bold;font-size:15px}"
    ".region{outline:1px dashed rgba(128,128,128,.8);outline-offset:-1px}"
    ".label{font-size:16px;line-height:normal;display:block;white-space:nowrap;overflow:hidden;"
    "text-overflow:ellipsis;align-content:center}"
    ".tabbar{background:linear-gradient(#3c3c3c,#0c0c0c)}"
    ".tab{color:#9a9a9a;font-size:10px;font-weight:bold;flex-direction:column;top:2px;"
    "bottom:2px;border-radius:4px}"
    ".tab.selected{color:#fff;background:rgba(255,255,255,.15)}"
    ".tab i{display:block;width:30px;height:26px;margin-bottom:3px;border-radius:6px;"
    "background:#6b6b6b}"
    ".tab.selected i{background:linear-gradient(#9fd2ff,#1a86e6)}"
    ".toolbar{background:linear-gradient(#b3bfcf,#6d84a2);border-top:1px solid #2d3642}"
    ".item{color:#fff;font-size:20px;font-weight:bold}"
    ".done{font-size:12px;border:1px solid #2a3a5e;border-radius:5px;"
    "background:linear-gradient(#7a9ad8,#2f5fc6)}"
    ".spinner{border-radius:50%;border:3px solid rgba(255,255,255,.3);border-top-color:#fff}"
    ".spinner.gray{border-color:rgba(0,0,0,.15);border-top-color:#777}";

// A view's colour as CSS; names and #hex pass, "clear" is transparent, anything else (which
// could break out of the style) is dropped.
std::string cssColor(const std::string& color) {
  if (color.empty() || color == "clear") return {};
  for (char c : color) {
    bool safe =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '#';
    if (!safe) return {};
  }
  return "background:" + color + ";";
}

std::string box(const Rect& r) {
  std::ostringstream out;
  out << "left:" << r.origin.x << "px;top:" << r.origin.y << "px;width:" << r.size.width
      << "px;height:" << r.size.height << "px;";
  return out.str();
}

std::string pngDataURL(std::string_view png) {
  return "data:image/png;base64," + platform::text::base64Encode(png);
}

std::string imageTag(const platform::Image& image, const Rect& slot) {
  platform::Size size = image.size();
  Rect centred(slot.origin.x + (slot.size.width - size.width) / 2,
               slot.origin.y + (slot.size.height - size.height) / 2, size.width, size.height);
  const char* turn = "";
  switch (image.orientation()) {
    case platform::ImageOrientation::Up:
      break;
    case platform::ImageOrientation::Down:
      turn = "transform:rotate(180deg);";
      break;
    case platform::ImageOrientation::Left:
      turn = "transform:rotate(-90deg);";
      break;
    case platform::ImageOrientation::Right:
      turn = "transform:rotate(90deg);";
      break;
  }
  return "<img style=\"" + box(centred) + turn + "\" src=\"" + pngDataURL(image.pngData()) + "\">";
}

std::string statusBarTime() {
  auto seconds = static_cast<std::time_t>(platform::RunLoop::main().currentDate().secondsSince1970);
  std::tm local{};
  char text[16] = "";
  if (localtime_r(&seconds, &local)) std::strftime(text, sizeof text, "%H:%M", &local);
  return text;
}

class Painter {
 public:
  explicit Painter(double scale) : scale_(scale) {}

  void statusBar(const Rect& frame) {
    out_ << "<div class=\"status\" style=\"" << box(frame) << "\"><span>Velour &#8776;</span><span>"
         << statusBarTime() << "</span><span>100% &#9646;</span></div>";
  }

  // `view` at `frame` in its superview's drawing, then its subviews.
  void view(View& view, const Rect& frame) {
    if (view.isHidden()) return;
    out_ << "<div style=\"" << box(frame) << cssColor(view.backgroundColor());
    if (view.alpha() < 1) out_ << "opacity:" << view.alpha() << ";";
    if (view.clipsToBounds()) out_ << "overflow:hidden;";
    out_ << "\"";
    Rect bounds(0, 0, frame.size.width, frame.size.height);
    content(view, bounds);
    platform::Point origin = view.bounds().origin;
    for (const auto& sub : view.subviews()) {
      Rect at = sub->frame();
      at.origin.x -= origin.x;
      at.origin.y -= origin.y;
      this->view(*sub, at);
    }
    out_ << "</div>";
  }

  std::string take() { return out_.str(); }

 private:
  // What the view itself draws, inside its box; the box's opening tag is still open.
  void content(View& view, const Rect& bounds) {
    if (auto* web = dynamic_cast<platform::WebView*>(&view)) {
      webPage(*web, bounds);
    } else if (auto* button = dynamic_cast<const platform::Button*>(&view)) {
      this->button(*button, bounds);
    } else if (auto* label = dynamic_cast<const platform::Label*>(&view)) {
      out_ << " class=\"label\">" << platform::text::markupEscaped(label->text());
    } else if (auto* spinner = dynamic_cast<const platform::ActivityIndicatorView*>(&view)) {
      bool gray = spinner->style() == platform::ActivityIndicatorViewStyle::Gray;
      out_ << " class=\"spinner" << (gray ? " gray" : "") << "\">";
    } else if (auto* bar = dynamic_cast<const platform::TabBar*>(&view)) {
      tabBar(*bar, bounds);
    } else if (auto* toolbar = dynamic_cast<const platform::Toolbar*>(&view)) {
      this->toolbar(*toolbar);
    } else {
      out_ << ">";
    }
  }

  // The page as the engine shows it; a web view whose page cannot be shot stays a grey box.
  void webPage(platform::WebView& web, const Rect& bounds) {
    out_ << ">";
    if (auto png = web.screenshotPNGAtScale(scale_)) {
      out_ << "<img style=\"" << box(bounds) << "\" src=\""
           << pngDataURL(platform::text::view(*png)) << "\">";
    } else {
      out_ << "<div class=\"center\" style=\"" << box(bounds)
           << "background:#ccc;color:#555\">web view</div>";
    }
  }

  // A custom button with neither picture nor title (a resized ad's close region) is only a
  // place to tap: outlined, so that the picture shows where it is.
  void button(const platform::Button& button, const Rect& bounds) {
    bool rounded = button.buttonType() == platform::ButtonType::RoundedRect;
    auto image = button.currentImage();
    bool region = !rounded && !image && button.title().empty();
    out_ << " class=\"center " << (rounded ? "rounded" : "custom") << (region ? " region" : "")
         << "\">";
    if (image) out_ << imageTag(*image, bounds);
    if (!button.title().empty())
      out_ << "<span>" << platform::text::markupEscaped(button.title()) << "</span>";
    if (!button.isEnabled())
      out_ << "<div style=\"" << box(bounds) << "background:rgba(255,255,255,.5)\"></div>";
  }

  void tabBar(const platform::TabBar& bar, const Rect& bounds) {
    out_ << " class=\"tabbar\">";
    auto titles = bar.itemTitles();
    if (titles.empty()) return;
    double width = bounds.size.width / static_cast<double>(titles.size());
    for (std::size_t i = 0; i < titles.size(); ++i) {
      bool selected = static_cast<int>(i) == bar.selectedIndex();
      out_ << "<div class=\"tab center" << (selected ? " selected" : "")
           << "\" style=\"left:" << width * static_cast<double>(i) + 2 << "px;width:" << width - 4
           << "px\"><i></i>" << platform::text::markupEscaped(titles[i]) << "</div>";
    }
  }

  void toolbar(const platform::Toolbar& bar) {
    out_ << " class=\"toolbar\">";
    auto frames = bar.itemFrames();
    const auto& items = bar.items();
    for (std::size_t i = 0; i < items.size() && i < frames.size(); ++i) {
      const auto& item = *items[i];
      // Custom views are subviews of the bar and are drawn as such.
      if (item.isFlexibleSpace() || item.customView()) continue;
      out_ << "<div class=\"item center" << (isDone(item) ? " done" : "") << "\" style=\""
           << box(frames[i]) << (item.isEnabled() ? "" : "opacity:.35;") << "\">";
      if (item.image()) {
        out_ << imageTag(*item.image(), Rect(0, 0, frames[i].size.width, frames[i].size.height));
      } else {
        out_ << systemItemGlyph(item);
      }
      out_ << "</div>";
    }
  }

  static bool isDone(const platform::BarButtonItem& item) {
    return item.systemItem() == platform::BarButtonSystemItem::Done;
  }

  static std::string systemItemGlyph(const platform::BarButtonItem& item) {
    using platform::BarButtonSystemItem;
    if (!item.systemItem()) return platform::text::markupEscaped(item.accessibilityLabel());
    switch (*item.systemItem()) {
      case BarButtonSystemItem::Done:
        return "Done";
      case BarButtonSystemItem::Cancel:
        return "Cancel";
      case BarButtonSystemItem::Refresh:
        return "&#8635;";
      case BarButtonSystemItem::Stop:
        return "&#10005;";
      case BarButtonSystemItem::Action:
        return "&#8599;";
      case BarButtonSystemItem::Rewind:
        return "&#9664;";
      case BarButtonSystemItem::FastForward:
        return "&#9654;";
      default:
        return platform::text::markupEscaped(item.describe());
    }
  }

  double scale_;
  std::ostringstream out_;
};

}  // namespace

ScreenPage drawScreen(double scale) {
  auto app = platform::Application::shared();
  Rect screen = platform::Screen::bounds();
  ScreenPage page;
  page.size = screen.size;
  if (platform::isLandscape(app->statusBarOrientation())) {
    std::swap(page.size.width, page.size.height);
  }
  Painter painter(scale);
  auto window = platform::Window::keyWindow();
  std::string background = window ? cssColor(window->backgroundColor()) : "";
  if (!app->isStatusBarHidden()) painter.statusBar(app->statusBarFrame());
  // The window's views are laid out in the turned screen's coordinates.
  if (window) {
    for (const auto& sub : window->subviews()) painter.view(*sub, sub->frame());
  }
  std::ostringstream html;
  html << "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><style>" << kStyle
       << "</style></head><body style=\"width:" << page.size.width
       << "px;height:" << page.size.height << "px;"
       << (background.empty() ? "background:#000;" : background) << "\">" << painter.take()
       << "</body></html>";
  page.html = html.str();
  return page;
}

}  // namespace velour
