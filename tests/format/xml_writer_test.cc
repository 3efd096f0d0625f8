#include "format/xml_writer.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "format/number_text.h"
#include "format/text_encoding.h"

namespace velk {
namespace {

TEST(XmlWriter, NestsEscapesAndConvertsCodePage850) {
  XmlWriter xml(R"(version="1.0")");
  xml.open("net", {{"name", "A&B \"<1>\""}});
  xml.element("station", "Ch\x82ne & <Fr\x88ne>");
  xml.element("file", XmlText::utf8("Z\xC3\xBCrich<.017"));
  xml.empty("point", {{"id", "P\x01"}, {"x", fixedTextTiesToEven(1.5, 4)}});
  xml.close();
  EXPECT_EQ(std::move(xml).finish(),
            "<?xml version=\"1.0\"?>\n"
            "<net name=\"A&amp;B &quot;&lt;1&gt;&quot;\">\n"
            "  <station>Ch\xC3\xA9ne &amp; &lt;Fr\xC3\xAAne&gt;</station>\n"
            "  <file>Z\xC3\xBCrich&lt;.017</file>\n"
            "  <point id=\"P\xEF\xBF\xBD\" x=\"1.5000\"/>\n"
            "</net>\n");
}

TEST(XmlWriter, RefusesADocumentWithAnElementLeftOpenOrClosedTwice) {
  XmlWriter open(R"(version="1.0")");
  open.open("a");
  EXPECT_THROW(std::move(open).finish(), std::logic_error);
  XmlWriter closed(R"(version="1.0")");
  EXPECT_THROW(closed.close(), std::logic_error);
}

TEST(NumberText, StatedFormatsAreExactDecimalsWhateverTheValue) {
  EXPECT_EQ(fixedTextTiesToEven(-532.51140000001, 4), "-532.5114");
  EXPECT_EQ(fixedTextTiesToEven(4344310.20745, 4), "4344310.2074");  // the double is just below .20745
  EXPECT_EQ(exponentText(0.001183 * 0.001183, 13), "1.3994890000000e-06");
  EXPECT_EQ(exponentText(0.0, 13), "0.0000000000000e+00");
  EXPECT_EQ(roundTripText(1.0), "1");
  EXPECT_EQ(roundTripText(0.1 + 0.2), "0.30000000000000004");
}

TEST(IsValidUtf8, AcceptsWellFormedTextOnlyAndTellsFileNamesApart) {
  EXPECT_EQ(fileNameToUtf8("Z\xC3\xBCrich.017"), "Z\xC3\xBCrich.017");
  EXPECT_EQ(fileNameToUtf8("\x82t\xE9.017"), "\xC3\xA9t\xC3\x9A.017");
  EXPECT_TRUE(isValidUtf8("AB082101.017"));
  EXPECT_TRUE(isValidUtf8("Z\xC3\xBCrich \xE2\x96\x88 \xF0\x9F\x98\x80"));
  EXPECT_FALSE(isValidUtf8("Donn\x82" "es"));      // code page 850 é
  EXPECT_FALSE(isValidUtf8("\xC3"));               // cut short
  EXPECT_FALSE(isValidUtf8("\xC0\xAF"));           // overlong /
  EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));       // a surrogate
  EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));   // above U+10FFFF
}

}  // namespace
}  // namespace velk
