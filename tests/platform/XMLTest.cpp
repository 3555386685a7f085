#include <gtest/gtest.h>

#include <string>

#include "platform/xml/XML.h"

namespace {

namespace xml = platform::xml;

TEST(XMLTest, ReadsATreeAndRefusesHostileDocuments) {
  auto tree = xml::parse(
      "<?xml version=\"1.0\"?>\n<a x=\"1\" y=\"&amp;\">\n one<b/>"
      "<![CDATA[ <two> ]]><b>3</b></a>");
  ASSERT_TRUE(tree) << tree.error().localizedDescription();
  EXPECT_EQ(tree->name, "a");
  EXPECT_EQ(*tree->attribute("y"), "&");
  EXPECT_EQ(tree->attribute("z"), nullptr);
  EXPECT_EQ(tree->text, "\n one <two> ");
  ASSERT_EQ(tree->childrenNamed("b").size(), 2u);
  EXPECT_EQ(tree->childrenNamed("b")[1]->text, "3");
  EXPECT_EQ(tree->child("b")->line, 3);

  auto code = [](std::string_view text) {
    auto result = xml::parse(text);
    return result ? 0 : result.error().code;
  };
  std::string bomb =
      "<!DOCTYPE a [<!ENTITY x \"xxxxxxxxxx\"><!ENTITY y \"&x;&x;&x;&x;\">]><a>&y;</a>";
  EXPECT_EQ(code(bomb), xml::kXMLErrorDoctype);
  EXPECT_EQ(code("<!DOCTYPE a SYSTEM \"file:///etc/passwd\"><a/>"), xml::kXMLErrorDoctype);
  EXPECT_EQ(code("<a>&undeclared;</a>"), xml::kXMLErrorSyntax);
  std::string deep;
  for (int i = 0; i < 10000; ++i) deep += "<d>";
  EXPECT_EQ(code(deep), xml::kXMLErrorTooDeep);
  EXPECT_EQ(code("<a>" + std::string(xml::Limits{}.maxBytes, ' ') + "</a>"),
            xml::kXMLErrorTooLarge);
  std::string many = "<a>";
  for (int i = 0; i < 30000; ++i) many += "<b/>";
  EXPECT_EQ(code(many + "</a>"), xml::kXMLErrorTooMany);
  auto broken = xml::parse("<a>\n\n<b></a>");
  ASSERT_FALSE(broken);
  EXPECT_EQ(broken.error().localizedDescription(), "line 3: mismatched tag");
  EXPECT_EQ(code(""), xml::kXMLErrorSyntax);
}

}  // namespace
