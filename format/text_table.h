#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velk {

// A table of text for a terminal: a heading line and rows, each column as wide as its
// widest cell (counted in characters of UTF-8 text), columns two spaces apart, text to the
// left and numbers to the right of their column.
class TextTable {
 public:
  enum class Align { kLeft, kRight };
  struct Column {
    std::string heading;
    Align align = Align::kLeft;
  };

  explicit TextTable(std::vector<Column> columns);

  // A row with one cell per column (missing cells are blank, extra cells are an error of
  // the program: std::logic_error).
  void addRow(std::vector<std::string> cells);
  bool empty() const { return rows_.empty(); }

  // Every line starts with `indent` and ends with '\n'; no trailing blanks.
  std::string render(std::string_view indent) const;

 private:
  std::vector<Column> columns_;
  std::vector<std::vector<std::string>> rows_;
};

// Characters in UTF-8 text (bytes that do not continue a character).
std::size_t displayWidth(std::string_view utf8);

}  // namespace velk
