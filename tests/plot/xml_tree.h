#pragma once

// A strict reader of the XML that the pictures are written in, for the tests: it accepts
// only well-formed documents (one root, tags closed in order, attributes quoted and not
// repeated, the five entities and character references, UTF-8 without control bytes) and
// gives the element tree, so that tests can find what a picture holds.

#include <cctype>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velk::testing {

struct XmlElement {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::string text;  // the character data directly inside, entities resolved
  std::vector<std::unique_ptr<XmlElement>> children;

  double number(const std::string& attribute) const { return std::stod(attributes.at(attribute)); }
  // Every element below this one (depth first) with the given name.
  void collect(std::string_view wanted, std::vector<const XmlElement*>& found) const {
    for (const auto& child : children) {
      if (child->name == wanted) found.push_back(child.get());
      child->collect(wanted, found);
    }
  }
  std::vector<const XmlElement*> all(std::string_view wanted) const {
    std::vector<const XmlElement*> found;
    collect(wanted, found);
    return found;
  }
  const XmlElement* withId(std::string_view id) const {
    for (const auto& child : children) {
      const auto found = child->attributes.find("id");
      if (found != child->attributes.end() && found->second == id) return child.get();
      if (const XmlElement* deeper = child->withId(id)) return deeper;
    }
    return nullptr;
  }
};

class XmlReader {
 public:
  // Throws std::runtime_error at the first fault, with its offset.
  static std::unique_ptr<XmlElement> parse(std::string_view text) {
    XmlReader reader(text);
    return reader.document();
  }

 private:
  explicit XmlReader(std::string_view text) : text_(text) {}

  [[noreturn]] void fail(const std::string& what) const {
    throw std::runtime_error("XML at byte " + std::to_string(at_) + ": " + what);
  }
  bool startsWith(std::string_view prefix) const { return text_.substr(at_).starts_with(prefix); }
  void expect(std::string_view prefix) {
    if (!startsWith(prefix)) fail("expected '" + std::string(prefix) + "'");
    at_ += prefix.size();
  }
  void skipBlanks() {
    while (at_ < text_.size() && std::string_view(" \t\r\n").find(text_[at_]) != std::string_view::npos) ++at_;
  }
  static bool isNameCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':' || c == '.';
  }
  std::string name() {
    const std::size_t start = at_;
    while (at_ < text_.size() && isNameCharacter(text_[at_])) ++at_;
    if (at_ == start) fail("expected a name");
    return std::string(text_.substr(start, at_ - start));
  }

  // Character data up to `end`, entities resolved; '<' and control bytes refused.
  std::string characterData(char end) {
    std::string out;
    while (at_ < text_.size() && text_[at_] != end) {
      const char c = text_[at_];
      if (c == '<' && end != '<') fail("'<' in an attribute value");
      if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') fail("a control byte");
      if (c != '&') {
        out += c;
        ++at_;
        continue;
      }
      const std::size_t semicolon = text_.find(';', at_);
      if (semicolon == std::string_view::npos) fail("an entity without ';'");
      const std::string_view entity = text_.substr(at_ + 1, semicolon - at_ - 1);
      static const std::map<std::string_view, char> kEntities{
          {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
      if (const auto found = kEntities.find(entity); found != kEntities.end()) {
        out += found->second;
      } else if (!entity.starts_with("#")) {
        fail("unknown entity &" + std::string(entity) + ";");
      }
      at_ = semicolon + 1;
    }
    return out;
  }

  std::unique_ptr<XmlElement> element() {
    expect("<");
    auto element = std::make_unique<XmlElement>();
    element->name = name();
    for (;;) {
      skipBlanks();
      if (startsWith("/>")) {
        at_ += 2;
        return element;
      }
      if (startsWith(">")) break;
      const std::string attribute = name();
      expect("=\"");
      std::string value = characterData('"');
      expect("\"");
      if (!element->attributes.emplace(attribute, std::move(value)).second) fail("attribute " + attribute + " repeated");
    }
    expect(">");
    for (;;) {
      element->text += characterData('<');
      if (at_ >= text_.size()) fail("<" + element->name + "> not closed");
      if (startsWith("</")) break;
      if (startsWith("<!--")) {
        const std::size_t end = text_.find("-->", at_);
        if (end == std::string_view::npos) fail("comment not closed");
        at_ = end + 3;
        continue;
      }
      element->children.push_back(this->element());
    }
    expect("</");
    if (name() != element->name) fail("</...> does not close <" + element->name + ">");
    skipBlanks();
    expect(">");
    return element;
  }

  // Each byte above 0x7F belongs to a well-formed sequence of two to four bytes.
  void checkUtf8() {
    for (at_ = 0; at_ < text_.size();) {
      const auto lead = static_cast<unsigned char>(text_[at_]);
      const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
      if (length == 0 || at_ + length > text_.size()) fail("malformed UTF-8");
      for (std::size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(text_[at_ + k]) & 0xC0) != 0x80) fail("malformed UTF-8");
      at_ += length;
    }
    at_ = 0;
  }

  std::unique_ptr<XmlElement> document() {
    checkUtf8();
    if (startsWith("<?xml")) {
      const std::size_t end = text_.find("?>");
      if (end == std::string_view::npos) fail("declaration not closed");
      at_ = end + 2;
    }
    skipBlanks();
    if (startsWith("<!DOCTYPE")) at_ = text_.find('>', at_) + 1, skipBlanks();
    auto root = element();
    skipBlanks();
    if (at_ != text_.size()) fail("text after the root element");
    return root;
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace velk::testing
