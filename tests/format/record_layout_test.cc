#include "format/record_layout.h"
#include "format/layout_notation.h"
#include "format/record_layout_testing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace velk {
namespace {

std::string F(double value, int width, int decimals) {
  return renderFixed(value, width, decimals);
}
std::string E(double value, int width, int decimals) {
  return renderExponent(value, width, decimals);
}

TEST(FixedField, RoundsTheExactBinaryValueWithHalvesAwayFromZero) {
  EXPECT_EQ(F(0.0015, 5, 3), " .002");  // binary value just above the half
  EXPECT_EQ(F(0.125, 4, 2), " .13");    // an exact tie goes away from zero, not to even
  EXPECT_EQ(F(-0.125, 5, 2), " -.13");
  EXPECT_EQ(F(2.5, 3, 0), " 3.");
  EXPECT_EQ(F(0.375, 4, 2), " .38");
  EXPECT_EQ(F(1.005, 5, 2), " 1.00");  // binary value just below the half
  EXPECT_EQ(F(2.675, 5, 2), " 2.67");
  EXPECT_EQ(F(std::nextafter(0.125, 0.0), 4, 2), " .12");
  EXPECT_EQ(F(4512345.6789, 12, 3), " 4512345.679");
  EXPECT_EQ(F(-123.45678, 9, 4), "-123.4568");
  EXPECT_EQ(F(99.9996, 8, 3), " 100.000");  // the carry runs into a new integer digit
}

TEST(FixedField, WritesNoZeroBeforeThePointAndNoMinusOnAZero) {
  EXPECT_EQ(F(0.123, 5, 3), " .123");
  EXPECT_EQ(F(-0.5, 9, 3), "    -.500");
  EXPECT_EQ(F(0.0, 5, 3), " .000");
  EXPECT_EQ(F(-0.0, 5, 3), " .000");
  EXPECT_EQ(F(0.0004, 5, 3), " .000");
  EXPECT_EQ(F(-0.0004, 5, 3), " .000");
  EXPECT_EQ(F(0.9996, 5, 3), "1.000");  // rounds up to 1: the integer digit appears
  EXPECT_EQ(F(-0.9996, 6, 3), "-1.000");
}

TEST(FixedField, FillsTheFieldWithAsterisksWhenItDoesNotFit) {
  EXPECT_EQ(F(10.0, 5, 3), "*****");
  EXPECT_EQ(F(9.9996, 5, 3), "*****");  // fits only before rounding
  EXPECT_EQ(F(-6378137.0004, 12, 3), "-6378137.000");
  EXPECT_EQ(F(-16378137.0, 12, 3), "************");
  EXPECT_EQ(F(12345678.9, 12, 4), "************");
  EXPECT_EQ(F(std::numeric_limits<double>::quiet_NaN(), 7, 2), "*******");
  EXPECT_EQ(F(std::numeric_limits<double>::infinity(), 4, 1), "****");
  EXPECT_EQ(F(-std::numeric_limits<double>::max(), 6, 1), "******");
}

TEST(ExponentField, WritesAPointMantissaAndATwoDigitExponent) {
  EXPECT_EQ(E(0.00001234, 10, 4), " .1234E-04");
  EXPECT_EQ(E(-0.000004321, 10, 4), "-.4321E-05");
  EXPECT_EQ(E(0.0123 * 0.0123, 10, 4), " .1513E-03");
  EXPECT_EQ(E(0.0, 10, 4), " .0000E+00");
  EXPECT_EQ(E(-0.0, 10, 4), " .0000E+00");
  EXPECT_EQ(E(1.0, 10, 4), " .1000E+01");
  EXPECT_EQ(E(0.12345, 10, 4), " .1235E+00");  // 0.12345 is just above the half in binary
  EXPECT_EQ(E(0.99995, 10, 4), " .1000E+01");  // rounding carries into the exponent
  EXPECT_EQ(E(6.25e-5, 8, 2), " .63E-04");     // an exact tie goes away from zero
  // More digits than the fast ways hold (a fuzzed layout once overran them): the exact
  // expansion of the double nearest 1/3, rounded at the 44th digit.
  EXPECT_EQ(E(-1.0 / 3, 50, 44), "-.33333333333333331482961625624739099293947220E+00");
  EXPECT_EQ(E(0.0, 50, 44), std::string(" .") + std::string(44, '0') + "E+00");
}

TEST(ExponentField, OverflowsToAsterisks) {
  EXPECT_EQ(E(1e100, 10, 4), "**********");  // three exponent digits
  EXPECT_EQ(E(1e-100, 10, 4), " .1000E-99");
  EXPECT_EQ(E(1e-101, 10, 4), "**********");
  EXPECT_EQ(E(-1.0, 8, 4), "********");
  EXPECT_EQ(E(std::numeric_limits<double>::quiet_NaN(), 10, 4), "**********");
}

TEST(IntegerAndTextFields, JustifyRightAndOverflow) {
  EXPECT_EQ(renderInteger(14, 2), "14");
  EXPECT_EQ(renderInteger(0, 4), "   0");
  EXPECT_EQ(renderInteger(100, 2), "**");
  EXPECT_EQ(renderInteger(-5, 3), " -5");
  EXPECT_EQ(renderInteger(-10, 2), "**");
  EXPECT_EQ(renderInteger(std::numeric_limits<std::int32_t>::min(), 11), "-2147483648");
  EXPECT_EQ(renderText("Fl", 4), "  Fl");
  EXPECT_EQ(renderText("ABCD", 4), "ABCD");
  EXPECT_EQ(renderText("ABCD", 2), "AB");
  EXPECT_EQ(renderText("AB120011", 12), "    AB120011");
  EXPECT_EQ(renderText(std::string_view("\0\0", 2), 3), std::string(" \0\0", 3));
}

TEST(RecordLayout, ExpandsRepeatGroupsAndParsesEveryDescriptor) {
  const RecordLayout layout("(I2,2X,A4,2(1X,F5.1),1X,E9.2,'x''y',A,A3)");
  const auto& d = parseLayoutNotation(layout.notation());
  ASSERT_EQ(d.size(), 12u);
  EXPECT_EQ(d[0].kind, FieldDescriptor::Kind::Integer);
  EXPECT_EQ(d[1].kind, FieldDescriptor::Kind::Skip);
  EXPECT_EQ(d[1].width, 2);
  EXPECT_EQ(d[4].kind, FieldDescriptor::Kind::Fixed);
  EXPECT_EQ(d[4].width, 5);
  EXPECT_EQ(d[4].decimals, 1);
  EXPECT_EQ(d[6].kind, FieldDescriptor::Kind::Fixed);
  EXPECT_EQ(d[8].kind, FieldDescriptor::Kind::Exponent);
  EXPECT_EQ(d[8].decimals, 2);
  EXPECT_EQ(d[9].literal, "x'y");
  EXPECT_EQ(d[10].width, -1);
  EXPECT_EQ(d[11].width, 3);
  EXPECT_EQ(parseLayoutNotation("(2(1X,2(I1)))").size(), 6u);
}

TEST(RecordLayout, RejectsMalformedNotation) {
  for (const char* bad : {"I2", "(I2", "(I2,)", "(Q3)", "(F6)", "(F6.)", "('abc)", "(I0)",
                          "(0(I2))", "(I2))", "(2)", "(I99999)"})
    EXPECT_THROW(RecordLayout{bad}, std::invalid_argument) << bad;
  // Found by fuzzing: a billion descriptors once expanded, and nesting deep enough to
  // exhaust the stack of a recursive parser.
  EXPECT_THROW(RecordLayout{"(1000(1000(1000(X))))"}, std::invalid_argument);
  std::string deep = "(";
  for (int i = 0; i < 8000; ++i) deep += "1(";
  deep += "I2" + std::string(8001, ')');
  EXPECT_THROW(RecordLayout{deep}, std::invalid_argument);
}

TEST(FormatRecord, WritesTheColumnsOfAVectorRecord) {
  const RecordLayout layout("(I2,2X,A4,2X,A4,4(1X,F12.4))");
  const std::string line =
      formatRecord(layout, {11, std::string_view("BRST"), std::string_view("GUIP"), 1234.56789,
                            -98765.4321, 0.5, 12345678.9});
  EXPECT_EQ(line.substr(0, 14), "11  BRST  GUIP");
  EXPECT_EQ(line.substr(14, 13), "    1234.5679");
  EXPECT_EQ(line.substr(27, 13), "  -98765.4321");
  EXPECT_EQ(line.substr(40, 13), "        .5000");
  EXPECT_EQ(line.substr(53), " ************");
}

TEST(FormatRecord, EndsEarlyWhenTheValuesRunOut) {
  const RecordLayout layout("(I2,1X,A4,1X,A4,1X,F12.4,1X,F8.4,2(2X,I2),22X,F6.2,'-Chi2')");
  const std::string line = formatRecord(
      layout, {14, std::string_view("BRST"), std::string_view("GUIP"), 1.0, 0.001, 0, 0});
  EXPECT_EQ(line.size(), 42u);  // neither the 22 skipped columns nor the literal
  EXPECT_EQ(line.substr(34), "   0   0");
  // A literal between the last value and the next data field is still written.
  EXPECT_EQ(formatRecord(RecordLayout("(I2,2X,'%',1X,F6.2)"), {12}), "12  %");
  // A trailing skip adds nothing.
  EXPECT_EQ(formatRecord(RecordLayout("(I2,5X)"), {12}), "12");
  EXPECT_EQ(formatRecord(RecordLayout("(14X,' dE (x)',4X,'Azim.')"), {}),
            "               dE (x)    Azim.");
  EXPECT_EQ(formatRecord(RecordLayout("(1X,6(1X,E10.4))"), {}), "");
}

TEST(FormatRecord, RefusesValuesOfTheWrongTypeOrTooMany) {
  EXPECT_THROW(formatRecord(RecordLayout("(I2)"), {1.0}), LayoutMismatch);
  EXPECT_THROW(formatRecord(RecordLayout("(F5.1)"), {1}), LayoutMismatch);
  EXPECT_THROW(formatRecord(RecordLayout("(A4)"), {1}), LayoutMismatch);
  EXPECT_THROW(formatRecord(RecordLayout("(I2)"), {1, 2}), LayoutMismatch);
}

// Constant fields show what the same value given with each record shows, negative F
// fields written in place and A fields without a width among them; the others take the
// values, and the record still ends where they run out.
TEST(FormatRecord, WritesConstantFieldsAsTheirValuesWouldShow) {
  const std::string notation = "(I1,2X,A4,3(1X,F7.3),1X,3(2X,F5.3),1X,A,1X,I4)";
  const RecordLayout plain(notation);
  const RecordLayout constant(notation, {{0, 1}, {4, -1.0005}, {5, 1.0}, {6, 0.0}, {7, -0.5},
                                         {8, std::string_view("XY")}});
  const std::string whole =
      formatRecord(plain, {1, std::string_view("BAUM"), 12.5, 2.25, -1.0005, 1.0, 0.0, -0.5,
                           std::string_view("XY"), 302});
  EXPECT_EQ(formatRecord(constant, {std::string_view("BAUM"), 12.5, 2.25, 302}), whole);
  EXPECT_EQ(formatRecord(constant, {std::string_view("BAUM"), 12.5}),
            formatRecord(plain, {1, std::string_view("BAUM"), 12.5}));
  EXPECT_THROW(RecordLayout("(I2,F5.1)", {{2, 1}}), std::invalid_argument);
  EXPECT_THROW(RecordLayout("(I2,F5.1)", {{0, 1}, {0, 2}}), std::invalid_argument);
  EXPECT_THROW(RecordLayout("(I2,F5.1)", {{1, 1}}), LayoutMismatch);
}

TEST(FreeForm, WritesTextAfterOneBlank) {
  EXPECT_EQ(formatFreeForm(" -- FIN --"), "  -- FIN --");
  EXPECT_EQ(formatFreeForm(""), " ");
}

// The record's blank, then the value right-justified in 24 columns.
std::string freeFormReal(std::string_view value) {
  return " " + std::string(24 - value.size(), ' ') + std::string(value);
}

TEST(FreeForm, WritesRealsIn24ColumnsWithSixteenSignificantDigits) {
  EXPECT_EQ(formatFreeFormReal(10.0 / 24.0), "   4.166666666666667E-001");
  EXPECT_EQ(formatFreeFormReal(1.0), freeFormReal("1.000000000000000"));
  EXPECT_EQ(formatFreeFormReal(12.345), freeFormReal("12.345000000000000"));
  EXPECT_EQ(formatFreeFormReal(-2.5), freeFormReal("-2.500000000000000"));
  EXPECT_EQ(formatFreeFormReal(9999999.0), freeFormReal("9999999.000000000000000"));
  EXPECT_EQ(formatFreeFormReal(10000000.0), freeFormReal("1.000000000000000E+007"));
  EXPECT_EQ(formatFreeFormReal(0.0), freeFormReal("0.000000000000000E+000"));
  EXPECT_EQ(formatFreeFormReal(-0.0), freeFormReal("0.000000000000000E+000"));
  EXPECT_EQ(formatFreeFormReal(-1.5e-300), freeFormReal("-1.500000000000000E-300"));
  EXPECT_EQ(formatFreeFormReal(0.99999999999999999), freeFormReal("1.000000000000000"));
  EXPECT_EQ(formatFreeFormReal(7.99), freeFormReal("7.990000000000000"));
  EXPECT_EQ(formatFreeFormReal(123456.78901234567), freeFormReal("123456.789012345700000"));
}

}  // namespace
}  // namespace velk
