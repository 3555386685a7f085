#include <gtest/gtest.h>

#include "platform/ui/Button.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/InterfaceParser.h"
#include "platform/ui/TabBarController.h"
#include "tests/support/TestWorld.h"

using platform::InterfaceDocument;
using platform::parseInterface;

namespace {

TEST(InterfaceParserTest, ReadsElementsWithQuotedAndBareValuesSkippingCommentsAndBlankLines) {
  auto doc = parseInterface(
      "# a comment\r\n\n  view frame=0,0,320,411 background=#fff\r\n"
      "button title=\"Say \\\"hi\\\"\\n\" action=say:\t tag=-3\n",
      "T.ui");
  ASSERT_TRUE(doc) << doc.error().localizedDescription();
  ASSERT_EQ(doc->elements.size(), 2u);
  EXPECT_EQ(doc->elements[0].kind, "view");
  EXPECT_EQ(doc->elements[0].line, 3);
  EXPECT_EQ(*doc->elements[0].attribute("background"), "#fff");
  EXPECT_EQ(doc->elements[1].line, 4);
  EXPECT_EQ(*doc->elements[1].attribute("title"), "Say \"hi\"\n");
  EXPECT_EQ(doc->elements[1].attribute("missing"), nullptr);
}

TEST(InterfaceParserTest, MalformedLinesFailWithTheirFileAndLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"view title=\"open", "T.ui:1: an unterminated quoted value in attribute \"title\""},
      {"view\nbutton a=1 a=2", "T.ui:2: attribute \"a\" given twice"},
      {"view frame", "T.ui:1: expected '=' after \"frame\""},
      {"view a=\"\\q\"", "T.ui:1: an unknown escape \\q in attribute \"a\""},
      {"view a=", "T.ui:1: an empty value in attribute \"a\""},
      {"view a=\"x\"b=1", "T.ui:1: expected a space before \"b=1\""},
      {"view a=x\"y", "T.ui:1: a quote inside an unquoted value in attribute \"a\""},
      {"\n\n=view", "T.ui:3: expected an element name"},
      {"view a=\x01", "T.ui:1: control character in line"},
      {"view 9=1", "T.ui:1: expected an attribute name at \"9=1\""},
  };
  for (const auto& [text, message] : cases) {
    auto doc = parseInterface(text, "T.ui");
    ASSERT_FALSE(doc) << text;
    EXPECT_EQ(doc.error().localizedDescription(), message) << text;
    EXPECT_EQ(doc.error().domain, platform::kInterfaceErrorDomain);
  }
  EXPECT_FALSE(parseInterface(std::string(platform::kInterfaceMaxBytes + 1, ' '), "T.ui"));
}

std::string buildError(const std::string& text) {
  auto doc = parseInterface(text, "V.ui");
  if (!doc) return "parse: " + doc.error().localizedDescription();
  auto owner = std::make_shared<platform::Responder>();
  auto root = platform::buildViewResource(*doc, owner);
  return root ? "" : root.error().localizedDescription();
}

TEST(InterfaceParserTest, ViewResourcesCheckTheirContent) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "V.ui: no view"},
      {"button frame=0,0,1,1", "V.ui:1: the first element must be the root view"},
      {"view", "V.ui:1: view needs a frame"},
      {"view frame=0,0,1", "V.ui:1: bad frame \"0,0,1\" (want x,y,width,height)"},
      {"view frame=0,0,nan,1", "V.ui:1: bad frame \"0,0,nan,1\" (want x,y,width,height)"},
      {"view frame=0,0,1,1 colour=red", "V.ui:1: unknown attribute \"colour\" for view"},
      {"view frame=0,0,1,1\nwindow", "V.ui:2: \"window\" does not belong in a view resource"},
      {"view frame=0,0,1,1 alpha=2", "V.ui:1: alpha must be 0 to 1"},
      {"view frame=0,0,1,1 autoresize=width,", "V.ui:1: bad autoresize \"width,\""},
      {"view frame=0,0,1,1 hidden=maybe", "V.ui:1: hidden must be yes or no"},
      {"view frame=0,0,1,1\nlabel frame=0,0,1,1 parent=box",
       "V.ui:2: parent \"box\" is not an earlier id"},
      {"view frame=0,0,1,1 id=a\nview frame=0,0,1,1 id=a", "V.ui:2: id \"a\" used twice"},
      {"view frame=0,0,1,1 parent=x", "V.ui:1: the root view has no parent"},
  };
  for (const auto& [text, message] : cases) EXPECT_EQ(buildError(text), message) << text;
}

TEST(InterfaceParserTest, ViewResourcesBuildNestedViewsAndBindEveryActionByName) {
  velour_test::TestWorld world;
  auto doc = parseInterface(
      "view frame=0,0,320,411 background=white autoresize=width,height\n"
      "view frame=10,10,300,200 id=box alpha=0.5 tag=4 interaction=no\n"
      "label text=\"Hello\" frame=0,0,100,20 parent=box hidden=yes\n"
      "button title=\"Go\" frame=10,300,100,40 action=noSuchAction: enabled=no\n",
      "V.ui");
  ASSERT_TRUE(doc);
  auto owner = std::make_shared<platform::Responder>();
  auto built = platform::buildViewResource(*doc, owner);
  ASSERT_TRUE(built) << built.error().localizedDescription();
  const auto& root = *built;
  ASSERT_EQ(root->subviews().size(), 2u);
  auto box = root->subviews()[0];
  EXPECT_EQ(box->tag(), 4);
  EXPECT_DOUBLE_EQ(box->alpha(), 0.5);
  EXPECT_FALSE(box->isUserInteractionEnabled());
  auto label = std::dynamic_pointer_cast<platform::Label>(box->subviews().at(0));
  ASSERT_TRUE(label);
  EXPECT_EQ(label->text(), "Hello");
  EXPECT_TRUE(label->isHidden());
  auto button = std::dynamic_pointer_cast<platform::Button>(root->subviews()[1]);
  ASSERT_TRUE(button);
  EXPECT_FALSE(button->isEnabled());
  ASSERT_EQ(button->bindings().size(), 1u);
  EXPECT_EQ(button->bindings()[0].target.lock(), owner);
  button->setEnabled(true);
  button->tap();
  EXPECT_EQ(world.log().lines().size(), 1u);
  EXPECT_TRUE(world.log().contains("does not respond to noSuchAction:"));
}

std::string mainError(const std::string& text, const std::string& delegateClass = "") {
  auto doc = parseInterface(text, "M.ui");
  if (!doc) return "parse: " + doc.error().localizedDescription();
  auto built = platform::buildMainInterface(*doc, delegateClass);
  return built ? "" : built.error().localizedDescription();
}

TEST(InterfaceParserTest, MainInterfacesCheckClassesOutletsAndOrder) {
  velour_test::TestWorld world;
  const std::pair<const char*, const char*> cases[] = {
      {"window\ntabbar\ntab controller=ViewController title=\"One\"", ""},
      {"tabbar", "M.ui: no window"},
      {"window\nwindow", "M.ui:2: a second window"},
      {"window\ntab controller=ViewController", "M.ui:2: a tab before its tabbar"},
      {"window\ntabbar\ntab controller=Nowhere",
       "M.ui:3: unknown view controller class \"Nowhere\""},
      {"window\ntabbar\ntab", "M.ui:3: tab needs a controller"},
      {"delegate class=Nobody\nwindow", "M.ui:1: unknown application delegate class \"Nobody\""},
      {"window outlet=window", "M.ui:1: an outlet but no delegate"},
      {"view frame=0,0,1,1", "M.ui:1: \"view\" does not belong in the main interface"},
  };
  for (const auto& [text, message] : cases) EXPECT_EQ(mainError(text), message) << text;
  EXPECT_EQ(mainError("window\n", "Nobody"), "M.ui: unknown application delegate class \"Nobody\"");

  auto doc = parseInterface(
      "delegate class=ApplicationDelegate\nwindow background=black\ntabbar\n"
      "tab controller=ViewController title=\"One\" nib=Other\ntab controller=ViewController\n",
      "M.ui");
  auto built = platform::buildMainInterface(*doc, "");
  ASSERT_TRUE(built);
  ASSERT_TRUE(built->delegate && built->window && built->tabBarController);
  const auto& tabs = built->tabBarController->viewControllers();
  ASSERT_EQ(tabs.size(), 2u);
  EXPECT_EQ(tabs[0]->tabBarItem().title, "One");
  EXPECT_EQ(tabs[0]->nibName(), "Other");
  EXPECT_EQ(built->objects.size(), 5u);
}

}  // namespace
