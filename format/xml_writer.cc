#include "format/xml_writer.h"

#include <stdexcept>

#include "format/text_encoding.h"

namespace velk {

std::string XmlText::escaped() const {
  const std::string utf8 = is_utf8_ ? bytes_ : cp850ToUtf8(bytes_);
  std::string out;
  out.reserve(utf8.size());
  for (const char c : utf8) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\t':
      case '\n':
      case '\r': out += c; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out += "\xEF\xBF\xBD";  // U+FFFD REPLACEMENT CHARACTER
        } else {
          out += c;
        }
    }
  }
  return out;
}

XmlWriter::XmlWriter(std::string_view declaration) {
  document_ += "<?xml ";
  document_ += declaration;
  document_ += "?>\n";
}

void XmlWriter::startTag(std::string_view name, XmlAttributeList attributes) {
  document_.append(2 * open_elements_.size(), ' ');
  document_ += '<';
  document_ += name;
  for (const XmlAttribute& attribute : attributes) {
    document_ += ' ';
    document_ += attribute.name;
    document_ += "=\"";
    document_ += attribute.value.escaped();
    document_ += '"';
  }
}

void XmlWriter::open(std::string_view name, XmlAttributeList attributes) {
  startTag(name, attributes);
  document_ += ">\n";
  open_elements_.emplace_back(name);
}

void XmlWriter::close() {
  if (open_elements_.empty()) throw std::logic_error("XML: close() without an open element");
  const std::string name = std::move(open_elements_.back());
  open_elements_.pop_back();
  document_.append(2 * open_elements_.size(), ' ');
  document_ += "</";
  document_ += name;
  document_ += ">\n";
}

void XmlWriter::element(std::string_view name, XmlText text, XmlAttributeList attributes) {
  startTag(name, attributes);
  document_ += '>';
  document_ += text.escaped();
  document_ += "</";
  document_ += name;
  document_ += ">\n";
}

void XmlWriter::empty(std::string_view name, XmlAttributeList attributes) {
  startTag(name, attributes);
  document_ += "/>\n";
}

std::string XmlWriter::finish() && {
  if (!open_elements_.empty())
    throw std::logic_error("XML: element <" + open_elements_.back() + "> left open");
  return std::move(document_);
}

}  // namespace velk
