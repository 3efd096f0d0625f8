#include "reading/report_items.h"

#include "reading/number_field.h"
#include "reading/o_file_columns.h"

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

// An integer field among columns 29-47 of a period line (`text`).
std::optional<std::int32_t> dateField(std::string_view text, o_file::Columns columns) {
  return readIntegerField(
      text.substr(static_cast<std::size_t>(columns.first - o_file::kPeriod.first),
                  static_cast<std::size_t>(columns.last - columns.first + 1)));
}

}  // namespace

std::optional<PeriodBound> readPeriodBound(std::string_view line) {
  const std::optional<std::int32_t> year = dateField(line, o_file::kPeriodYear);
  const std::optional<std::int32_t> month = dateField(line, o_file::kPeriodMonth);
  const std::optional<std::int32_t> day = dateField(line, o_file::kPeriodDay);
  const std::optional<std::int32_t> hour = dateField(line, o_file::kPeriodHour);
  const std::optional<std::int32_t> minute = dateField(line, o_file::kPeriodMinute);
  const std::optional<std::int32_t> second = dateField(line, o_file::kPeriodSecond);
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
