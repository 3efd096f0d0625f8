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

std::optional<PeriodBound> readPeriodBound(const ReportLine& line) {
  const std::optional<std::int32_t> year = readIntegerField(line.columns(29, 32));
  const std::optional<std::int32_t> month = readIntegerField(line.columns(34, 35));
  const std::optional<std::int32_t> day = readIntegerField(line.columns(37, 38));
  const std::optional<std::int32_t> hour = readIntegerField(line.columns(40, 41));
  const std::optional<std::int32_t> minute = readIntegerField(line.columns(43, 44));
  const std::optional<std::int32_t> second = readIntegerField(line.columns(46, 47));
  if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
  if (*year < 1 || *month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month) ||
      *hour < 0 || *hour > 23 || *minute < 0 || *minute > 59 || *second < 0 || *second > 60)
    return std::nullopt;
  return PeriodBound{{*year, *month, *day}, *hour * 3600.0 + *minute * 60.0 + *second};
}

std::uint32_t EntryItems::missing() const {
  constexpr std::uint32_t kAll = (std::uint32_t{1} << kReportItemCount) - 1;
  const std::uint32_t solution = has_fixed ? fixed_given : has_float ? float_given : 0;
  return kAll & ~(main_given | solution);
}

}  // namespace velk
