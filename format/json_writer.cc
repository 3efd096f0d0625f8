#include "format/json_writer.h"

#include <array>
#include <cmath>
#include <stdexcept>

#include "format/number_text.h"
#include "format/text_encoding.h"

namespace velk {
namespace {

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates, at most
// U+10FFFF).
bool isUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    int continuation = 0;
    std::uint32_t code_point = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      continuation = 1;
      code_point = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      continuation = 2;
      code_point = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      continuation = 3;
      code_point = lead & 0x07u;
    } else {
      return false;
    }
    if (i + static_cast<std::size_t>(continuation) >= bytes.size()) return false;
    for (int k = 1; k <= continuation; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0u) != 0x80u) return false;
      code_point = (code_point << 6) | (next & 0x3Fu);
    }
    static constexpr std::array<std::uint32_t, 4> kSmallest{0, 0x80, 0x800, 0x10000};
    if (code_point < kSmallest[static_cast<std::size_t>(continuation)] ||
        code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF))
      return false;
    i += static_cast<std::size_t>(continuation) + 1;
  }
  return true;
}

}  // namespace

JsonWriter& JsonWriter::beginObject(Layout layout) {
  open('{', true, layout);
  return *this;
}

JsonWriter& JsonWriter::endObject() {
  close('}', true);
  return *this;
}

JsonWriter& JsonWriter::beginArray(Layout layout) {
  open('[', false, layout);
  return *this;
}

JsonWriter& JsonWriter::endArray() {
  close(']', false);
  return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
  if (levels_.empty() || !levels_.back().object || key_pending_)
    throw std::logic_error("JSON member name outside an object");
  Level& level = levels_.back();
  if (!level.empty) out_ += level.inline_layout ? ", " : ",";
  if (!level.inline_layout) newLine();
  level.empty = false;
  quoted(name);
  out_ += ": ";
  key_pending_ = true;
  return *this;
}

JsonWriter& JsonWriter::text(std::string_view code_page_850) {
  beforeValue();
  quoted(cp850ToUtf8(code_page_850));
  return *this;
}

JsonWriter& JsonWriter::fileName(std::string_view bytes) {
  beforeValue();
  quoted(isUtf8(bytes) ? std::string(bytes) : cp850ToUtf8(bytes));
  return *this;
}

JsonWriter& JsonWriter::number(double value, int decimals) {
  if (!std::isfinite(value)) return null();
  beforeValue();
  out_ += fixedTextTiesToEven(value, decimals);
  return *this;
}

JsonWriter& JsonWriter::integer(std::int64_t value) {
  beforeValue();
  out_ += std::to_string(value);
  return *this;
}

JsonWriter& JsonWriter::boolean(bool value) {
  beforeValue();
  out_ += value ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::null() {
  beforeValue();
  out_ += "null";
  return *this;
}

std::string JsonWriter::finish() {
  if (!levels_.empty() || !done_) throw std::logic_error("JSON document not closed");
  out_ += '\n';
  return std::move(out_);
}

// Places the comma and line break of an array element, or takes the pending member name.
void JsonWriter::beforeValue() {
  if (done_) throw std::logic_error("JSON value after the document's end");
  if (levels_.empty()) return;
  Level& level = levels_.back();
  if (level.object) {
    if (!key_pending_) throw std::logic_error("JSON value without a member name");
    key_pending_ = false;
    return;
  }
  if (!level.empty) out_ += level.inline_layout ? ", " : ",";
  if (!level.inline_layout) newLine();
  level.empty = false;
}

void JsonWriter::open(char bracket, bool object, Layout layout) {
  beforeValue();
  out_ += bracket;
  // Everything inside an inline container stays on its line.
  const bool inline_layout =
      layout == Layout::kInline || (!levels_.empty() && levels_.back().inline_layout);
  levels_.push_back({object, inline_layout, true});
}

void JsonWriter::close(char bracket, bool object) {
  if (levels_.empty() || levels_.back().object != object || key_pending_)
    throw std::logic_error("JSON container closed out of turn");
  const Level level = levels_.back();
  levels_.pop_back();
  if (!level.empty && !level.inline_layout) newLine();
  out_ += bracket;
  if (levels_.empty()) done_ = true;
}

void JsonWriter::newLine() {
  out_ += '\n';
  out_.append(2 * levels_.size(), ' ');
}

// The one place where text is escaped: quotes, backslashes and control characters.
void JsonWriter::quoted(std::string_view utf8) {
  static constexpr char kHex[] = "0123456789abcdef";
  out_ += '"';
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out_ += "\\\""; break;
      case '\\': out_ += "\\\\"; break;
      case '\n': out_ += "\\n"; break;
      case '\r': out_ += "\\r"; break;
      case '\t': out_ += "\\t"; break;
      default:
        if (byte < 0x20) {
          out_ += "\\u00";
          out_ += kHex[byte >> 4];
          out_ += kHex[byte & 0x0F];
        } else {
          out_ += c;
        }
    }
  }
  out_ += '"';
}

}  // namespace velk
