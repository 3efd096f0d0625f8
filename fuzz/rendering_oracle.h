#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velk::fuzz {

// What each field renderer of the engine must give, worked out another way: the digits
// come from the C library's printf, which writes the exact decimal expansion of a double
// when asked for enough digits, and are then rounded half away from zero here. The
// fuzzing target compares the engine's renderings with these texts.
//
// nullopt where the rules leave the result to the engine: F of a magnitude at or above
// 1e300 and E with no digit in the mantissa (both outside anything the records use).
std::string expectedInteger(std::int32_t value, int width);
std::optional<std::string> expectedFixed(double value, int width, int decimals);
std::optional<std::string> expectedExponent(double value, int width, int decimals);
std::string expectedText(std::string_view value, int width);
// The whole free-form record: its blank and the 24 columns.
std::string expectedFreeFormReal(double value);

}  // namespace velk::fuzz
