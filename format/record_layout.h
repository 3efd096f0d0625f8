#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace velk {

// A value handed to a data field: integer for I, real for F and E, text for A.
using FieldValue = std::variant<std::int32_t, double, std::string_view>;

// A data field that holds the same value in every record of a layout (a record code, a
// column of zeros): its text is made once, with the layout, and copied like a literal.
struct ConstantField {
  std::size_t field;  // its place among the layout's data fields, from 0
  FieldValue value;
};

// One step of the walk of a layout, defined in format/record_walk.h (internal).
struct LayoutStep;

// A record layout in the notation of the VELK record tables, for example
// "(I2,2X,A4,2X,A4,4(1X,F12.4))": Iw, Fw.d, Ew.d, Aw, A, nX, 'text' and n(...) (see
// parseLayoutNotation in format/layout_notation.h). The notation is parsed once, when the
// layout is made; a malformed notation throws std::invalid_argument. The records of a
// layout with constant fields are given values for the other data fields only.
//
// Every field is exactly as wide as its descriptor says. I fields show the integer
// right-justified; F and E fields the real rounded once from its exact binary value,
// halves away from zero; A fields their first w characters, or the text right-justified.
// A value that does not fit shows as asterisks over the whole field.
class RecordLayout {
 public:
  explicit RecordLayout(std::string_view notation,
                        std::span<const ConstantField> constants = {});
  RecordLayout(std::string_view notation, std::initializer_list<ConstantField> constants)
      : RecordLayout(notation,
                     std::span<const ConstantField>(constants.begin(), constants.size())) {}
  RecordLayout(const RecordLayout&);
  RecordLayout(RecordLayout&&) noexcept;
  RecordLayout& operator=(const RecordLayout&);
  RecordLayout& operator=(RecordLayout&&) noexcept;
  ~RecordLayout();

  std::string_view notation() const { return notation_; }
  // The most characters a record can take, A fields without a width apart.
  std::size_t widestRecord() const { return widest_record_; }
  bool hasTextWithoutWidth() const { return text_without_width_; }
  // The data fields the records are given values for (constant fields apart).
  std::size_t dataFields() const { return data_fields_; }

  // The layout as the engine walks it: each field or literal with the blanks of the skips
  // before it. Skips at the end write nothing, and literals next to one another, constant
  // fields among them, are one literal.
  const std::vector<LayoutStep>& steps() const { return steps_; }
  const std::string& literal(std::size_t index) const { return literals_[index]; }

 private:
  void makeConstant(std::size_t field, const FieldValue& value);
  void joinLiterals();

  std::string notation_;
  std::vector<LayoutStep> steps_;
  std::vector<std::string> literals_;
  std::size_t widest_record_ = 0;
  std::size_t data_fields_ = 0;
  bool text_without_width_ = false;
};

// The values of one record gathered on the stack, each made only when it is added (a
// record is written for every report: no array of defaults to fill first).
template <std::size_t Capacity>
class FieldValueList {
  static_assert(std::is_trivially_destructible_v<FieldValue>);

 public:
  static constexpr std::size_t capacity() { return Capacity; }
  void push_back(const FieldValue& value) {
    new (storage_ + count_ * sizeof(FieldValue)) FieldValue(value);
    ++count_;
  }
  std::span<const FieldValue> values() const {
    return {std::launder(reinterpret_cast<const FieldValue*>(storage_)), count_};
  }

 private:
  alignas(FieldValue) unsigned char storage_[Capacity * sizeof(FieldValue)];
  std::size_t count_ = 0;
};

// Thrown when a value's type does not match its data field, or a record is given more
// values than its layout has data fields: a programming error.
class LayoutMismatch : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// The record of `values` written at `out`, which has room for widestRecord(layout, values)
// characters; returns the end of the record. The layout is walked left to right, one value
// per data field; the record ends early at the first data field for which no value is
// left. Records made this way need no allocation.
char* putRecord(char* out, const RecordLayout& layout, std::span<const FieldValue> values);
// The record of `values` appended to `line` (a buffer kept from record to record).
void appendRecord(std::string& line, const RecordLayout& layout,
                  std::span<const FieldValue> values);
// The most characters the record of `values` can take.
std::size_t widestRecordWithTexts(const RecordLayout& layout, std::span<const FieldValue> values);
inline std::size_t widestRecord(const RecordLayout& layout, std::span<const FieldValue> values) {
  return layout.hasTextWithoutWidth() ? widestRecordWithTexts(layout, values)
                                      : layout.widestRecord();
}

// The free-form record of a text: one blank, then the text at its full length.
std::string formatFreeForm(std::string_view text);

// The free-form real record, written into `text` without allocation: one blank, then the
// real in 24 columns with 16 significant digits, in the fixed-point form for magnitudes in
// [1, 1e7), the exponent form otherwise (0.29791666666666666 gives
// "   2.979166666666667E-001"). Asterisks for what is not a number.
constexpr std::size_t kFreeFormRealLength = 25;
std::string_view formatFreeFormReal(double value, char (&text)[kFreeFormRealLength]);

}  // namespace velk
