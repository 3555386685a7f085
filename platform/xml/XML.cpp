#include "platform/xml/XML.h"

#include <expat.h>

#include <memory>
#include <optional>

namespace platform::xml {

namespace {

Error xmlError(XMLErrorCode code, unsigned long line, const std::string& problem) {
  return Error::make(kXMLErrorDomain, code, "line " + std::to_string(line) + ": " + problem);
}

// What the expat callbacks build: the open elements, innermost last, and the first refusal.
class TreeBuilder {
 public:
  TreeBuilder(XML_Parser parser, const Limits& limits) : parser_(parser), limits_(limits) {}

  // Expat may still call after a stop; nothing is built past a refusal.
  void start(const XML_Char* name, const XML_Char** attributes) {
    if (refusal_) return;
    if (open_.size() >= limits_.maxDepth) {
      return refuse(kXMLErrorTooDeep,
                    "nested deeper than " + std::to_string(limits_.maxDepth) + " elements");
    }
    if (++elements_ > limits_.maxElements) {
      return refuse(kXMLErrorTooMany,
                    "more than " + std::to_string(limits_.maxElements) + " elements");
    }
    Element element;
    element.name = name;
    element.line = static_cast<int>(XML_GetCurrentLineNumber(parser_));
    for (std::size_t i = 0; attributes[i] && attributes[i + 1]; i += 2) {
      element.attributes.emplace_back(attributes[i], attributes[i + 1]);
    }
    open_.push_back(std::move(element));
  }

  void end() {
    if (refusal_ || open_.empty()) return;
    Element done = std::move(open_.back());
    open_.pop_back();
    if (open_.empty()) {
      root_ = std::move(done);
    } else {
      open_.back().children.push_back(std::move(done));
    }
  }

  void text(const XML_Char* data, int length) {
    if (!refusal_ && !open_.empty())
      open_.back().text.append(data, static_cast<std::size_t>(length));
  }

  void refuse(XMLErrorCode code, const std::string& problem) {
    if (!refusal_) refusal_ = xmlError(code, XML_GetCurrentLineNumber(parser_), problem);
    XML_StopParser(parser_, XML_FALSE);
  }

  const std::optional<Error>& refusal() const { return refusal_; }
  std::optional<Element>& root() { return root_; }

 private:
  XML_Parser parser_;
  const Limits& limits_;
  std::vector<Element> open_;
  std::size_t elements_ = 0;
  std::optional<Element> root_;
  std::optional<Error> refusal_;
};

TreeBuilder& builder(void* data) {
  return *static_cast<TreeBuilder*>(data);
}

void installHandlers(XML_Parser parser) {
  XML_SetElementHandler(
      parser,
      [](void* data, const XML_Char* name, const XML_Char** attributes) {
        builder(data).start(name, attributes);
      },
      [](void* data, const XML_Char*) { builder(data).end(); });
  XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* text, int length) {
    builder(data).text(text, length);
  });
  // Refusing the declaration itself keeps out every entity of the document's own, and with
  // them the expansion bombs and the external fetches they could bring.
  XML_SetStartDoctypeDeclHandler(
      parser, [](void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
        builder(data).refuse(kXMLErrorDoctype, "a document type declaration is not accepted");
      });
  XML_SetEntityDeclHandler(
      parser, [](void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                 const XML_Char*, const XML_Char*, const XML_Char*) {
        builder(data).refuse(kXMLErrorDoctype, "an entity declaration is not accepted");
      });
  XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
}

}  // namespace

const std::string* Element::attribute(std::string_view attributeName) const {
  for (const auto& [key, value] : attributes) {
    if (key == attributeName) return &value;
  }
  return nullptr;
}

const Element* Element::child(std::string_view childName) const {
  for (const Element& element : children) {
    if (element.name == childName) return &element;
  }
  return nullptr;
}

std::vector<const Element*> Element::childrenNamed(std::string_view childName) const {
  std::vector<const Element*> found;
  for (const Element& element : children) {
    if (element.name == childName) found.push_back(&element);
  }
  return found;
}

Result<Element> parse(std::string_view text, const Limits& limits) {
  if (text.size() > limits.maxBytes) {
    return xmlError(kXMLErrorTooLarge, 1,
                    "the document is larger than " + std::to_string(limits.maxBytes) + " bytes");
  }
  std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(XML_ParserCreate(nullptr),
                                                                 XML_ParserFree);
  if (!parser) return xmlError(kXMLErrorSyntax, 1, "no memory for the reader");
  TreeBuilder tree(parser.get(), limits);
  XML_SetUserData(parser.get(), &tree);
  installHandlers(parser.get());
  XML_Status status = XML_Parse(parser.get(), text.data(), static_cast<int>(text.size()), XML_TRUE);
  if (tree.refusal()) return *tree.refusal();
  if (status != XML_STATUS_OK) {
    return xmlError(kXMLErrorSyntax, XML_GetCurrentLineNumber(parser.get()),
                    XML_ErrorString(XML_GetErrorCode(parser.get())));
  }
  if (!tree.root()) return xmlError(kXMLErrorSyntax, 1, "no root element");
  return std::move(*tree.root());
}

}  // namespace platform::xml
