#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velk {

// The number fields of an O-file line, read the way the report's fixed columns are meant:
// blanks (spaces only) anywhere in the field are ignored and an all-blank field reads as 0.
// Any other character that does not belong to the number makes the field unreadable
// (nullopt), as do a sign or a point without digits.

// An optionally signed decimal integer that fits 32 bits.
std::optional<std::int32_t> readIntegerField(std::string_view field);

// A real field Fw.d: an optionally signed decimal number, optionally followed by an
// exponent (E or D in either case, an optional sign, at least one digit). Without a
// point, the rightmost `decimals` digits of the mantissa are the fraction. The value is
// the double nearest to the decimal number; "-0.0000" gives negative zero. A number too
// large for a double is unreadable; one too small reads as zero of its sign.
// This is the one entry point of the real fields. Its fast paths read the plain forms of
// the O-files in integers (fields of 8 to 16 columns in one 16-byte register where the
// processor has SSE2, other fields column by column); every other form takes
// readRealFieldExactly. All of them give the same double.
std::optional<double> readRealField(std::string_view field, int decimals);

// A real field read always through the general decimal conversion (from_chars). This is
// the exact path readRealField takes for the forms its fast paths leave (exponents, more
// than 19 digits), and the reference the tests hold those fast paths to.
std::optional<double> readRealFieldExactly(std::string_view field, int decimals);

}  // namespace velk
