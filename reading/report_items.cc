#include "reading/report_items.h"

#include "reading/number_field.h"

namespace velk {

bool isUsableStationName(std::string_view name) {
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  if (name.empty()) return false;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) return false;
  }
  return true;
}

namespace {

// An integer field of columns 29-47 (first and last as the line numbers them); those of
// digits only (as the report writes its dates) at once.
std::optional<std::int32_t> dateField(std::string_view text, int first, int last) {
  const std::string_view field = text.substr(static_cast<std::size_t>(first - kPeriodFirstColumn),
                                             static_cast<std::size_t>(last - first + 1));
  std::int32_t value = 0;
  for (const char c : field) {
    const auto digit = static_cast<unsigned>(c - '0');
    if (digit >= 10) return readIntegerField(field);
    value = value * 10 + static_cast<std::int32_t>(digit);
  }
  return value;
}

}  // namespace

std::optional<PeriodBound> readPeriodBound(std::string_view line) {
  const std::optional<std::int32_t> year = dateField(line, 29, 32);
  const std::optional<std::int32_t> month = dateField(line, 34, 35);
  const std::optional<std::int32_t> day = dateField(line, 37, 38);
  const std::optional<std::int32_t> hour = dateField(line, 40, 41);
  const std::optional<std::int32_t> minute = dateField(line, 43, 44);
  const std::optional<std::int32_t> second = dateField(line, 46, 47);
  if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
  if (*year < 1 || *month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month) ||
      *hour < 0 || *hour > 23 || *minute < 0 || *minute > 59 || *second < 0 || *second > 60)
    return std::nullopt;
  return PeriodBound{{*year, *month, *day}, *hour * 3600.0 + *minute * 60.0 + *second};
}

std::uint32_t EntryItems::missing(std::string_view fixed_name,
                                  std::string_view unknown_name) const {
  constexpr std::uint32_t kAll = (std::uint32_t{1} << kReportItemCount) - 1;
  const std::uint32_t solution = has_fixed ? fixed_given : has_float ? float_given : 0;
  const auto dated = [](bool seen, const auto& text) {
    return seen && readPeriodBound(std::string_view(text.data(), text.size())).has_value();
  };
  const std::uint32_t date =
      dated(start_seen, start_text) && dated(end_seen, end_text) ? reportItemBit(ReportItem::kDate) : 0;
  const bool named = fixed_name_read && unknown_name_read && isUsableStationName(fixed_name) &&
                     isUsableStationName(unknown_name);
  const std::uint32_t names = named ? reportItemBit(ReportItem::kNames) : 0;
  return kAll & ~(names | solution | date);
}

}  // namespace velk
