#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velk {

// A JSON document written as it goes: objects and arrays are opened and closed, members
// named, values added, and the writer places the commas, the line breaks and a two-space
// indentation. Every string goes through one escaping function; numbers carry the number
// of decimals the caller asks for, and a NaN or an infinity is written as null (JSON has no
// such numbers). Misuse (a value without its key in an object, unbalanced closes) throws
// std::logic_error: it is a fault of the program, not of the user.
class JsonWriter {
 public:
  // kInline keeps a short array on one line: "xyz": [0.001, -0.002, 0.000].
  enum class Layout { kBlock, kInline };

  JsonWriter& beginObject(Layout layout = Layout::kBlock);
  JsonWriter& endObject();
  JsonWriter& beginArray(Layout layout = Layout::kBlock);
  JsonWriter& endArray();
  // The next value's member name (ASCII; escaped all the same).
  JsonWriter& key(std::string_view name);

  // Text of the O-files: bytes above 0x7F are code page 850 characters.
  JsonWriter& text(std::string_view code_page_850);
  // A file's name as the system gave it: kept when it is valid UTF-8, else read as code
  // page 850 like the reports' text.
  JsonWriter& fileName(std::string_view bytes);
  JsonWriter& number(double value, int decimals);
  JsonWriter& integer(std::int64_t value);
  JsonWriter& boolean(bool value);
  JsonWriter& null();

  // The whole document and a final line break; every container must be closed.
  std::string finish();

 private:
  struct Level {
    bool object = false;
    bool inline_layout = false;
    bool empty = true;
  };
  void beforeValue();
  void open(char bracket, bool object, Layout layout);
  void close(char bracket, bool object);
  void newLine();
  void quoted(std::string_view utf8);

  std::string out_;
  std::vector<Level> levels_;
  bool key_pending_ = false;
  bool done_ = false;
};

}  // namespace velk
