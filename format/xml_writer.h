#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velk {

// Text for an XML document. The system's texts (station names, descriptions, the O-files'
// contents) are code page 850 bytes and are turned into UTF-8 on writing; a text that is
// UTF-8 already (a file name of today's file system) says so with utf8().
class XmlText {
 public:
  XmlText(std::string_view cp850) : bytes_(cp850) {}  // NOLINT: implicit on purpose
  XmlText(std::string cp850) : bytes_(std::move(cp850)) {}  // NOLINT
  XmlText(const char* cp850) : bytes_(cp850) {}  // NOLINT
  // The bytes must be well-formed UTF-8 (isValidUtf8).
  static XmlText utf8(std::string text) { return XmlText(std::move(text), true); }

  // UTF-8 with & < > " as entities and the control bytes that XML cannot hold (all below
  // 0x20 but tab, line feed and carriage return) as U+FFFD: the one place where text is
  // escaped.
  std::string escaped() const;

 private:
  XmlText(std::string bytes, bool is_utf8) : bytes_(std::move(bytes)), is_utf8_(is_utf8) {}
  std::string bytes_;
  bool is_utf8_ = false;
};

// An attribute: its name (a constant of the format, written as it is) and its value.
struct XmlAttribute {
  std::string_view name;
  XmlText value;
};
using XmlAttributes = std::initializer_list<XmlAttribute>;
// Attributes chosen at run time (a picture's optional styles).
using XmlAttributeList = std::span<const XmlAttribute>;

// Writes one XML document into a string: each element on its own line, indented by two
// blanks per level. The writer takes numbers only as text, so that every caller states
// the format of its numbers (format/number_text.h).
class XmlWriter {
 public:
  // declaration: what stands between "<?xml " and "?>" on the first line.
  explicit XmlWriter(std::string_view declaration);

  // <name attributes>, its children on the lines that follow, up to its close().
  void open(std::string_view name, XmlAttributes attributes = {}) { open(name, list(attributes)); }
  void open(std::string_view name, XmlAttributeList attributes);
  void close();
  // <name attributes>text</name> on one line.
  void element(std::string_view name, XmlText text, XmlAttributes attributes = {}) {
    element(name, text, list(attributes));
  }
  void element(std::string_view name, XmlText text, XmlAttributeList attributes);
  // <name attributes/>
  void empty(std::string_view name, XmlAttributes attributes = {}) { empty(name, list(attributes)); }
  void empty(std::string_view name, XmlAttributeList attributes);

  // The document, every element closed (std::logic_error if one is still open).
  std::string finish() &&;

 private:
  static XmlAttributeList list(XmlAttributes attributes) {
    return {attributes.begin(), attributes.size()};
  }
  void startTag(std::string_view name, XmlAttributeList attributes);

  std::string document_;
  std::vector<std::string> open_elements_;
};

}  // namespace velk
