#include "platform/ui/InterfaceLoader.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "platform/foundation/Log.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/ClassRegistry.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/Window.h"

namespace platform {

namespace {

// Coordinates beyond this are surely a typing error, and would overflow later arithmetic.
constexpr double kMaxCoordinate = 100000;

const std::set<std::string> kViewAttributes{"frame", "id",     "parent", "background", "autoresize",
                                            "alpha", "hidden", "tag",    "interaction"};

const std::map<std::string, std::set<std::string>>& extraAttributes() {
  static const std::map<std::string, std::set<std::string>> extra{
      {"view", {}}, {"button", {"title", "action", "enabled"}}, {"label", {"text"}}};
  return extra;
}

const std::map<std::string, std::set<std::string>>& mainAttributes() {
  static const std::map<std::string, std::set<std::string>> attributes{
      {"delegate", {"class"}},
      {"window", {"outlet", "frame", "background"}},
      {"tabbar", {"outlet"}},
      {"tab", {"controller", "title", "nib"}}};
  return attributes;
}

std::optional<double> parseNumber(std::string_view text) {
  double value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || !std::isfinite(value) ||
      std::fabs(value) > kMaxCoordinate) {
    return std::nullopt;
  }
  return value;
}

std::optional<Rect> parseFrame(const std::string& text) {
  double parts[4];
  std::size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    std::size_t comma = text.find(',', start);
    bool last = i == 3;
    if (last != (comma == std::string::npos)) return std::nullopt;
    std::string_view part(text.data() + start, (last ? text.size() : comma) - start);
    auto value = parseNumber(part);
    if (!value) return std::nullopt;
    parts[i] = *value;
    start = comma + 1;
  }
  if (parts[2] < 0 || parts[3] < 0) return std::nullopt;
  return Rect(parts[0], parts[1], parts[2], parts[3]);
}

std::optional<bool> parseBool(const std::string& text) {
  if (text == "yes" || text == "true") return true;
  if (text == "no" || text == "false") return false;
  return std::nullopt;
}

std::optional<unsigned> parseMask(const std::string& text) {
  static const std::map<std::string, unsigned> names{
      {"left", kAutoresizingFlexibleLeftMargin},   {"width", kAutoresizingFlexibleWidth},
      {"right", kAutoresizingFlexibleRightMargin}, {"top", kAutoresizingFlexibleTopMargin},
      {"height", kAutoresizingFlexibleHeight},     {"bottom", kAutoresizingFlexibleBottomMargin}};
  if (text == "none") return 0u;
  unsigned mask = 0;
  std::stringstream parts(text);
  std::string name;
  int count = 0;
  while (std::getline(parts, name, ',')) {
    auto found = names.find(name);
    if (found == names.end()) return std::nullopt;
    mask |= found->second;
    ++count;
  }
  if (count == 0 || text.back() == ',') return std::nullopt;
  return mask;
}

std::optional<int> parseTag(const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

// Keeps the problem that stopped a build, with its place.
class Problems {
 public:
  explicit Problems(const InterfaceDocument& doc) : doc_(doc) {}
  bool fail(int line, const std::string& what) {
    error_ = interfaceError(kInterfaceContentError, doc_.fileName, line, what);
    return false;
  }
  const Error& error() const { return error_; }

 private:
  const InterfaceDocument& doc_;
  Error error_;
};

bool checkAttributes(const InterfaceElement& e, const std::set<std::string>& allowed,
                     const std::set<std::string>& more, Problems& problems) {
  for (const auto& [key, value] : e.attributes) {
    if (!allowed.count(key) && !more.count(key)) {
      return problems.fail(e.line, "unknown attribute \"" + key + "\" for " + e.kind);
    }
  }
  return true;
}

class ViewBuilder {
 public:
  ViewBuilder(const InterfaceDocument& doc, std::shared_ptr<Responder> owner)
      : doc_(doc), owner_(std::move(owner)), problems_(doc) {}

  Result<std::shared_ptr<View>> build() {
    for (const auto& e : doc_.elements) {
      if (!add(e)) return problems_.error();
    }
    if (!root_) {
      problems_.fail(0, "no view");
      return problems_.error();
    }
    return root_;
  }

 private:
  bool add(const InterfaceElement& e) {
    auto kind = extraAttributes().find(e.kind);
    if (kind == extraAttributes().end()) {
      return problems_.fail(e.line, "\"" + e.kind + "\" does not belong in a view resource");
    }
    if (!checkAttributes(e, kViewAttributes, kind->second, problems_)) return false;
    std::shared_ptr<View> view = make(e);
    if (!view || !applyCommon(e, *view) || !attach(e, view)) return false;
    if (auto id = e.attribute("id")) {
      if (!ids_.emplace(*id, view).second)
        return problems_.fail(e.line, "id \"" + *id + "\" used twice");
    }
    return true;
  }

  std::shared_ptr<View> make(const InterfaceElement& e) {
    if (e.kind == "label") {
      auto text = e.attribute("text");
      return Label::create({}, text ? *text : "");
    }
    if (e.kind != "button") return View::create();
    auto title = e.attribute("title");
    auto button = Button::create({}, title ? *title : "");
    if (auto enabled = e.attribute("enabled")) {
      auto on = parseBool(*enabled);
      if (!on) return fail(e, "enabled must be yes or no");
      button->setEnabled(*on);
    }
    // Bound even if the owner does not answer it: pressing it then logs why nothing happens.
    if (auto action = e.attribute("action")) {
      button->addTargetActionForControlEvents(owner_, *action, kControlEventTouchUpInside);
    }
    return button;
  }

  std::shared_ptr<View> fail(const InterfaceElement& e, const std::string& what) {
    problems_.fail(e.line, what);
    return nullptr;
  }

  bool applyCommon(const InterfaceElement& e, View& view) {
    auto frameText = e.attribute("frame");
    if (!frameText) return problems_.fail(e.line, e.kind + " needs a frame");
    auto frame = parseFrame(*frameText);
    if (!frame)
      return problems_.fail(e.line, "bad frame \"" + *frameText + "\" (want x,y,width,height)");
    view.setFrame(*frame);
    if (auto bg = e.attribute("background")) view.setBackgroundColor(*bg);
    if (auto text = e.attribute("autoresize")) {
      auto mask = parseMask(*text);
      if (!mask) return problems_.fail(e.line, "bad autoresize \"" + *text + "\"");
      view.setAutoresizingMask(*mask);
    }
    if (auto text = e.attribute("alpha")) {
      auto alpha = parseNumber(*text);
      if (!alpha || *alpha < 0 || *alpha > 1) return problems_.fail(e.line, "alpha must be 0 to 1");
      view.setAlpha(*alpha);
    }
    if (!applyFlag(e, "hidden", [&](bool on) { view.setHidden(on); })) return false;
    if (!applyFlag(e, "interaction", [&](bool on) { view.setUserInteractionEnabled(on); })) {
      return false;
    }
    if (auto text = e.attribute("tag")) {
      auto tag = parseTag(*text);
      if (!tag) return problems_.fail(e.line, "bad tag \"" + *text + "\"");
      view.setTag(*tag);
    }
    return true;
  }

  template <typename Apply>
  bool applyFlag(const InterfaceElement& e, const char* key, Apply apply) {
    auto text = e.attribute(key);
    if (!text) return true;
    auto on = parseBool(*text);
    if (!on) return problems_.fail(e.line, std::string(key) + " must be yes or no");
    apply(*on);
    return true;
  }

  bool attach(const InterfaceElement& e, const std::shared_ptr<View>& view) {
    auto parentName = e.attribute("parent");
    if (!root_) {
      if (e.kind != "view")
        return problems_.fail(e.line, "the first element must be the root view");
      if (parentName) return problems_.fail(e.line, "the root view has no parent");
      root_ = view;
      return true;
    }
    std::shared_ptr<View> parent = root_;
    if (parentName) {
      auto found = ids_.find(*parentName);
      if (found == ids_.end()) {
        return problems_.fail(e.line, "parent \"" + *parentName + "\" is not an earlier id");
      }
      parent = found->second;
    }
    parent->addSubview(view);
    return true;
  }

  const InterfaceDocument& doc_;
  std::shared_ptr<Responder> owner_;
  Problems problems_;
  std::shared_ptr<View> root_;
  std::map<std::string, std::shared_ptr<View>> ids_;
};

class MainBuilder {
 public:
  MainBuilder(const InterfaceDocument& doc, std::string delegateClassName)
      : doc_(doc), delegateClass_(std::move(delegateClassName)), problems_(doc) {}

  Result<MainInterface> build() {
    for (const auto& e : doc_.elements) {
      if (!add(e)) return problems_.error();
    }
    if (!result_.window) {
      problems_.fail(0, "no window");
      return problems_.error();
    }
    if (!makeDelegate() || !connectOutlets()) return problems_.error();
    return std::move(result_);
  }

 private:
  struct Outlet {
    int line;
    std::string name;
    std::shared_ptr<Responder> object;
  };

  bool add(const InterfaceElement& e) {
    auto kind = mainAttributes().find(e.kind);
    if (kind == mainAttributes().end()) {
      return problems_.fail(e.line, "\"" + e.kind + "\" does not belong in the main interface");
    }
    if (!checkAttributes(e, {}, kind->second, problems_)) return false;
    if (e.kind == "delegate") return addDelegate(e);
    if (e.kind == "window") return addWindow(e);
    if (e.kind == "tabbar") return addTabBar(e);
    return addTab(e);
  }

  bool addDelegate(const InterfaceElement& e) {
    if (delegateLine_) return problems_.fail(e.line, "a second delegate");
    auto name = e.attribute("class");
    if (!name) return problems_.fail(e.line, "delegate needs a class");
    delegateLine_ = e.line;
    if (delegateClass_.empty()) delegateClass_ = *name;
    return true;
  }

  bool addWindow(const InterfaceElement& e) {
    if (result_.window) return problems_.fail(e.line, "a second window");
    result_.window = Window::create();
    if (auto text = e.attribute("frame")) {
      auto frame = parseFrame(*text);
      if (!frame)
        return problems_.fail(e.line, "bad frame \"" + *text + "\" (want x,y,width,height)");
      result_.window->setFrame(*frame);
    }
    if (auto bg = e.attribute("background")) result_.window->setBackgroundColor(*bg);
    keep(e, result_.window);
    return true;
  }

  bool addTabBar(const InterfaceElement& e) {
    if (result_.tabBarController) return problems_.fail(e.line, "a second tabbar");
    result_.tabBarController = TabBarController::create();
    keep(e, result_.tabBarController);
    return true;
  }

  bool addTab(const InterfaceElement& e) {
    if (!result_.tabBarController) return problems_.fail(e.line, "a tab before its tabbar");
    auto name = e.attribute("controller");
    if (!name) return problems_.fail(e.line, "tab needs a controller");
    auto controller = createViewController(*name);
    if (!controller)
      return problems_.fail(e.line, "unknown view controller class \"" + *name + "\"");
    if (auto title = e.attribute("title")) controller->tabBarItem().title = *title;
    if (auto nib = e.attribute("nib")) controller->setNibName(*nib);
    auto tabs = result_.tabBarController->viewControllers();
    tabs.push_back(controller);
    result_.tabBarController->setViewControllers(std::move(tabs));
    result_.objects.push_back(controller);
    return true;
  }

  void keep(const InterfaceElement& e, const std::shared_ptr<Responder>& object) {
    result_.objects.push_back(object);
    if (auto outlet = e.attribute("outlet")) outlets_.push_back({e.line, *outlet, object});
  }

  bool makeDelegate() {
    if (delegateClass_.empty()) {
      if (!outlets_.empty())
        return problems_.fail(outlets_.front().line, "an outlet but no delegate");
      return true;
    }
    result_.delegate = createApplicationDelegate(delegateClass_);
    if (!result_.delegate) {
      return problems_.fail(delegateLine_,
                            "unknown application delegate class \"" + delegateClass_ + "\"");
    }
    result_.objects.insert(result_.objects.begin(), result_.delegate);
    return true;
  }

  bool connectOutlets() {
    for (const auto& outlet : outlets_) {
      if (!result_.delegate->setOutlet(outlet.name, outlet.object)) {
        return problems_.fail(outlet.line, delegateClass_ + " has no outlet \"" + outlet.name +
                                               "\" for a " + outlet.object->className());
      }
    }
    return true;
  }

  const InterfaceDocument& doc_;
  std::string delegateClass_;
  Problems problems_;
  int delegateLine_ = 0;
  MainInterface result_;
  std::vector<Outlet> outlets_;
};

std::string baseName(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

Result<InterfaceDocument> readDocument(const std::string& path) {
  std::string name = baseName(path);
  std::ifstream in(path, std::ios::binary);
  if (!in) return interfaceError(kInterfaceFileError, name, 0, "cannot be read");
  std::string text;
  char chunk[4096];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    text.append(chunk, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kInterfaceMaxBytes) break;
  }
  return parseInterface(text, name);
}

// The built resource, or the error after its log line.
template <typename T>
Result<T> logged(Result<T> built) {
  if (!built) log("interface: " + built.error().localizedDescription());
  return built;
}

}  // namespace

Result<std::shared_ptr<View>> buildViewResource(const InterfaceDocument& doc,
                                                const std::shared_ptr<Responder>& owner) {
  return ViewBuilder(doc, owner).build();
}

Result<MainInterface> buildMainInterface(const InterfaceDocument& doc,
                                         const std::string& delegateClassName) {
  return MainBuilder(doc, delegateClassName).build();
}

Result<std::shared_ptr<View>> loadViewResource(const std::string& path,
                                               const std::shared_ptr<Responder>& owner) {
  auto doc = readDocument(path);
  if (!doc) return logged<std::shared_ptr<View>>(doc.error());
  return logged(buildViewResource(*doc, owner));
}

Result<MainInterface> loadMainInterface(const std::string& path,
                                        const std::string& delegateClassName) {
  auto doc = readDocument(path);
  if (!doc) return logged<MainInterface>(doc.error());
  return logged(buildMainInterface(*doc, delegateClassName));
}

}  // namespace platform
