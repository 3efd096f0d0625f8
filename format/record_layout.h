#pragma once

#include <cstdint>
#include <initializer_list>
#include <new>
#include <type_traits>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace velk {

// One descriptor of a record layout, after repeat groups have been expanded.
struct FieldDescriptor {
  enum class Kind { Integer, Fixed, Exponent, Text, Skip, Literal };
  Kind kind;
  int width = 0;        // Iw, Fw.d, Ew.d, Aw; the n of nX; -1 for A without width
  int decimals = 0;     // d of Fw.d and Ew.d
  std::string literal;  // the text of 'text'

  bool consumesValue() const { return kind != Kind::Skip && kind != Kind::Literal; }
};

// A value handed to a data field: integer for I, real for F and E, text for A.
using FieldValue = std::variant<std::int32_t, double, std::string_view>;

// A data field that holds the same value in every record of a layout (a record code, a
// column of zeros): its text is made once, with the layout, and copied like a literal.
struct ConstantField {
  std::size_t field;  // its place among the layout's data fields, from 0
  FieldValue value;
};

// A record layout in the notation of the VELK record tables, for example
// "(I2,2X,A4,2X,A4,4(1X,F12.4))": Iw, Fw.d, Ew.d, Aw, A, nX, 'text' and n(...).
// Parsed once, when the layout object is made; a malformed notation throws
// std::invalid_argument. Records of a layout with constant fields are given values for
// the other data fields only.
class RecordLayout {
 public:
  explicit RecordLayout(std::string_view notation,
                        std::span<const ConstantField> constants = {});
  RecordLayout(std::string_view notation, std::initializer_list<ConstantField> constants)
      : RecordLayout(notation,
                     std::span<const ConstantField>(constants.begin(), constants.size())) {}

  const std::vector<FieldDescriptor>& descriptors() const { return descriptors_; }
  std::string_view notation() const { return notation_; }
  // The most characters a record can take, A fields without a width apart.
  std::size_t widestRecord() const { return widest_record_; }
  bool hasTextWithoutWidth() const { return text_without_width_; }

  // The layout as it is walked: each field or literal with the blanks of the skips before
  // it (skips at the end write nothing). Literals next to one another, constant fields
  // among them, are one literal.
  struct Step {
    // How the step is written, chosen once: F fields of few columns and decimals take a
    // common way, where they stand on the record or through a scratch line.
    enum class Way : std::uint8_t {
      kLiteral,
      kInteger,
      kText,
      kExponent,
      kFixed,
      kFixedInPlace,
      kFixedThroughScratch
    };
    FieldDescriptor::Kind kind;
    Way way;
    int blanks_before;
    int width;
    int decimals;
    std::size_t literal = 0;  // where its text is among the literals
    // For an F field of the common way, worked out once: 10^decimals, and the rounded
    // values (scaled by 10^decimals) from which it shows asterisks, with and without a
    // minus.
    std::uint64_t unit = 1;
    double scale = 1;  // the unit as a double, for the rounding in doubles
    std::uint64_t too_large = 0;
    std::uint64_t too_large_negative = 0;
  };
  const std::vector<Step>& steps() const { return steps_; }
  // The data fields the records are given values for (constant fields apart).
  std::size_t dataFields() const { return data_fields_; }
  const std::string& literal(const Step& step) const { return literals_[step.literal]; }

 private:
  void makeConstant(std::size_t field, const FieldValue& value);
  void joinLiterals();

  std::string notation_;
  std::vector<FieldDescriptor> descriptors_;
  std::vector<Step> steps_;
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

// Thrown when a value's type does not match its data field: a programming error.
class LayoutMismatch : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// The text of one record: the layout walked left to right, one value per data field.
// The record ends early at the first data field for which no value is left.
std::string formatRecord(const RecordLayout& layout, std::span<const FieldValue> values);
// The same, appended to `line` (a buffer kept from record to record).
void appendRecord(std::string& line, const RecordLayout& layout,
                  std::span<const FieldValue> values);
// The same, written at `out`, which has room for widestRecord(layout, values) characters;
// returns the end of the record. Records made this way need no allocation.
char* putRecord(char* out, const RecordLayout& layout, std::span<const FieldValue> values);
// The same counting the texts of the A fields without a width.
std::size_t widestRecordWithTexts(const RecordLayout& layout, std::span<const FieldValue> values);
inline std::size_t widestRecord(const RecordLayout& layout, std::span<const FieldValue> values) {
  return layout.hasTextWithoutWidth() ? widestRecordWithTexts(layout, values)
                                      : layout.widestRecord();
}
inline std::string formatRecord(const RecordLayout& layout,
                                std::initializer_list<FieldValue> values) {
  return formatRecord(layout, std::span<const FieldValue>(values.begin(), values.size()));
}

// Free-form records: one blank, then the text at its full length, or the real in 24
// columns (fixed-point form for magnitudes in [1, 1e7), exponent form otherwise).
std::string formatFreeForm(std::string_view text);
std::string formatFreeFormReal(double value);
// The free-form real record written into `text`, without allocation.
constexpr std::size_t kFreeFormRealLength = 25;
std::string_view formatFreeFormReal(double value, char (&text)[kFreeFormRealLength]);

// The field renderers, each exactly w columns wide (w asterisks when the value does not
// fit). Reals are rounded from their exact binary value, halves away from zero.
std::string renderInteger(std::int32_t value, int width);
std::string renderFixed(double value, int width, int decimals);
std::string renderExponent(double value, int width, int decimals);
std::string renderText(std::string_view text, int width);

// The real renderers with their digits always taken from the exact decimal expansion of
// the double (to_chars with guard digits), where the ones above use integer arithmetic
// wherever it is exact: the reference the tests hold them to.
namespace long_way {
std::string formatFreeFormReal(double value);
std::string renderFixed(double value, int width, int decimals);
std::string renderExponent(double value, int width, int decimals);
}  // namespace long_way

}  // namespace velk
