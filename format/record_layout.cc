#include "format/record_layout.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "format/field_writers.h"
#include "format/layout_notation.h"
#include "format/record_walk.h"

namespace velk {
namespace {

[[noreturn, gnu::noinline]] void failWrongValueType(FieldDescriptor::Kind kind,
                                                   const RecordLayout& layout) {
  static const char* const kKinds[] = {"I", "F", "E", "A", "X", "literal"};
  throw LayoutMismatch("record layout \"" + std::string(layout.notation()) +
                       "\": a value of the wrong type for an " + kKinds[static_cast<int>(kind)] +
                       " field");
}

template <class T>
const T& valueAs(const FieldValue& value, FieldDescriptor::Kind kind, const RecordLayout& layout) {
  if (const T* held = std::get_if<T>(&value)) return *held;
  failWrongValueType(kind, layout);
}

// The most characters a descriptor can take: its width, the length of a literal, nothing
// for an A field without a width (its text is counted with the record's values).
std::size_t widestField(const FieldDescriptor& field) {
  switch (field.kind) {
    case FieldDescriptor::Kind::Literal:
      return field.literal.size();
    case FieldDescriptor::Kind::Text:
      return field.width < 0 ? 0 : static_cast<std::size_t>(field.width);
    default:
      return static_cast<std::size_t>(field.width);
  }
}

// `count` blanks at `out`, sixteen at a time, the last sixteen overlapping the ones before
// (a record is a few dozen columns: no call for them).
void putBlanks(char* out, std::size_t count) {
  static constexpr char kBlanks[16] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                       ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  if (count < 16) {
    std::fill_n(out, count, ' ');
    return;
  }
  for (std::size_t at = 0; at + 16 < count; at += 16) std::memcpy(out + at, kBlanks, 16);
  std::memcpy(out + count - 16, kBlanks, 16);
}

// A literal of a few dozen characters: two overlapping moves of sixteen up to 32.
void copyLiteral(char* to, const std::string& literal) {
  const std::size_t count = literal.size();
  if (count >= 16 && count <= 32) {
    std::memcpy(to, literal.data(), 16);
    std::memcpy(to + count - 16, literal.data() + count - 16, 16);
  } else {
    copyShortText(to, literal.data(), count);
  }
}

// One data field at `field` (the record blanked, the skip before it too); returns its end.
// The kinds are tested from the most frequent on: a jump table costs more than a few tests.
[[gnu::always_inline]] inline char* putField(char* field, const LayoutStep& step, const FieldValue& value,
               const RecordLayout& layout) {
  using Kind = FieldDescriptor::Kind;
  if (step.kind == Kind::Fixed)
    return putFixed(field, valueAs<double>(value, step.kind, layout), step.width, step.decimals);
  if (step.kind == Kind::Text)
    return putText(field, valueAs<std::string_view>(value, step.kind, layout), step.width);
  if (step.kind == Kind::Integer)
    return putInteger(field, valueAs<std::int32_t>(value, step.kind, layout), step.width);
  return putExponent(field, valueAs<double>(value, step.kind, layout), step.width,
                     step.decimals);
}

// The steps of the layout with their values. With kEveryValue (a value for every data
// field, as most records have) no step looks for the end of the values.
template <bool kEveryValue>
char* putSteps(char* out, const RecordLayout& layout, std::span<const FieldValue> values) {
  const FieldValue* value = values.data();
  const FieldValue* const values_end = value + values.size();
  for (const LayoutStep& step : layout.steps()) {
    if (step.kind == FieldDescriptor::Kind::Literal) {
      const std::string& literal = layout.literal(step.literal);
      copyLiteral(out + step.blanks_before, literal);
      out += step.blanks_before + static_cast<std::ptrdiff_t>(literal.size());
      continue;
    }
    if (!kEveryValue && value == values_end) return out;
    out = putField(out + step.blanks_before, step, *value, layout);
    ++value;
  }
  return out;
}

}  // namespace

RecordLayout::RecordLayout(std::string_view notation, std::span<const ConstantField> constants)
    : notation_(notation) {
  int blanks = 0;
  for (const FieldDescriptor& field : parseLayoutNotation(notation)) {
    widest_record_ += widestField(field);
    if (field.kind == FieldDescriptor::Kind::Text && field.width < 0) text_without_width_ = true;
    if (field.kind == FieldDescriptor::Kind::Skip) {
      blanks += field.width;
      continue;
    }
    steps_.push_back({field.kind, blanks, field.width, field.decimals});
    if (field.kind == FieldDescriptor::Kind::Literal) {
      steps_.back().literal = literals_.size();
      literals_.push_back(field.literal);
    }
    blanks = 0;
  }
  // From the last to the first, so that each place still counts the data fields before it.
  std::vector<ConstantField> ordered(constants.begin(), constants.end());
  std::sort(ordered.begin(), ordered.end(),
            [](const ConstantField& a, const ConstantField& b) { return a.field > b.field; });
  for (std::size_t i = 0; i < ordered.size(); ++i) {
    if (i > 0 && ordered[i].field == ordered[i - 1].field)
      throw std::invalid_argument("record layout \"" + notation_ +
                                  "\": a data field given two constants");
    makeConstant(ordered[i].field, ordered[i].value);
  }
  joinLiterals();
  data_fields_ = static_cast<std::size_t>(
      std::count_if(steps_.begin(), steps_.end(), [](const LayoutStep& step) {
        return step.kind != FieldDescriptor::Kind::Literal;
      }));
}

RecordLayout::RecordLayout(const RecordLayout&) = default;
RecordLayout::RecordLayout(RecordLayout&&) noexcept = default;
RecordLayout& RecordLayout::operator=(const RecordLayout&) = default;
RecordLayout& RecordLayout::operator=(RecordLayout&&) noexcept = default;
RecordLayout::~RecordLayout() = default;

// The data field becomes a literal of its text, written as any record would show it.
void RecordLayout::makeConstant(std::size_t field, const FieldValue& value) {
  std::size_t data_fields = 0;
  for (LayoutStep& step : steps_) {
    if (step.kind == FieldDescriptor::Kind::Literal) continue;
    if (data_fields++ != field) continue;
    const auto* text = std::get_if<std::string_view>(&value);
    std::string shown((step.width < 0 && text ? text->size() : 0) +
                          static_cast<std::size_t>(std::max(step.width, 0)),
                      ' ');
    const char* end = putField(shown.data(), step, value, *this);
    shown.resize(static_cast<std::size_t>(end - shown.data()));
    if (step.width < 0) widest_record_ += shown.size();
    step.kind = FieldDescriptor::Kind::Literal;
    step.literal = literals_.size();
    literals_.push_back(shown);
    return;
  }
  throw std::invalid_argument("record layout \"" + notation_ + "\": no data field " +
                              std::to_string(field + 1) + " to make constant");
}

// A literal right after another becomes part of it, with the blanks between them.
void RecordLayout::joinLiterals() {
  std::vector<LayoutStep> joined;
  for (const LayoutStep& step : steps_) {
    if (step.kind == FieldDescriptor::Kind::Literal && !joined.empty() &&
        joined.back().kind == FieldDescriptor::Kind::Literal) {
      std::string& text = literals_[joined.back().literal];
      text.append(static_cast<std::size_t>(step.blanks_before), ' ');
      text += literals_[step.literal];
      continue;
    }
    joined.push_back(step);
  }
  steps_ = std::move(joined);
}

std::size_t widestRecordWithTexts(const RecordLayout& layout,
                                  std::span<const FieldValue> values) {
  std::size_t widest = layout.widestRecord();
  for (const FieldValue& value : values)
    if (const auto* text = std::get_if<std::string_view>(&value)) widest += text->size();
  return widest;
}

char* putRecord(char* out, const RecordLayout& layout, std::span<const FieldValue> values) {
  putBlanks(out, widestRecord(layout, values));
  if (values.size() == layout.dataFields()) return putSteps<true>(out, layout, values);
  if (values.size() > layout.dataFields())
    throw LayoutMismatch("record layout \"" + std::string(layout.notation()) +
                         "\": more values than data fields");
  return putSteps<false>(out, layout, values);
}

void appendRecord(std::string& line, const RecordLayout& layout,
                  std::span<const FieldValue> values) {
  const std::size_t start = line.size();
  line.resize(start + widestRecord(layout, values));
  char* end = putRecord(line.data() + start, layout, values);
  line.resize(static_cast<std::size_t>(end - line.data()));
}

std::string formatFreeForm(std::string_view text) {
  std::string line(" ");
  line += text;
  return line;
}

std::string_view formatFreeFormReal(double value, char (&text)[kFreeFormRealLength]) {
  std::fill_n(text, kFreeFormRealLength, ' ');
  const char* end = putFreeFormReal(text, value);
  return {text, static_cast<std::size_t>(end - text)};
}

}  // namespace velk
