#include "format/text_table.h"

#include <algorithm>
#include <stdexcept>

namespace velk {

std::size_t displayWidth(std::string_view utf8) {
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0u) != 0x80u;
  }));
}

TextTable::TextTable(std::vector<Column> columns) : columns_(std::move(columns)) {}

void TextTable::addRow(std::vector<std::string> cells) {
  if (cells.size() > columns_.size()) throw std::logic_error("table row wider than its table");
  cells.resize(columns_.size());
  rows_.push_back(std::move(cells));
}

std::string TextTable::render(std::string_view indent) const {
  std::vector<std::size_t> widths(columns_.size());
  for (std::size_t c = 0; c < columns_.size(); ++c) {
    widths[c] = displayWidth(columns_[c].heading);
    for (const auto& row : rows_) widths[c] = std::max(widths[c], displayWidth(row[c]));
  }
  std::string out;
  const auto line = [&](const auto& cell_of) {
    std::string text(indent);
    for (std::size_t c = 0; c < columns_.size(); ++c) {
      const std::string& cell = cell_of(c);
      const std::string padding(widths[c] - displayWidth(cell), ' ');
      if (c > 0) text += "  ";
      if (columns_[c].align == Align::kRight) text += padding;
      text += cell;
      if (columns_[c].align == Align::kLeft) text += padding;
    }
    text.erase(text.find_last_not_of(' ') + 1);
    out += text;
    out += '\n';
  };
  line([&](std::size_t c) -> const std::string& { return columns_[c].heading; });
  for (const auto& row : rows_) line([&](std::size_t c) -> const std::string& { return row[c]; });
  return out;
}

}  // namespace velk
