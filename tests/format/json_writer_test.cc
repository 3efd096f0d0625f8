#include "format/json_writer.h"

#include <limits>
#include <stdexcept>

#include <gtest/gtest.h>

#include "format/text_table.h"

namespace velk {
namespace {

TEST(JsonWriter, LaysOutEscapesAndNumbersAsAsked) {
  JsonWriter json;
  json.beginObject();
  json.key("name").text("Donn\x82" "es \"A\"\\\t\x01");
  json.key("file").fileName("\xC3\xA9t\xC3\xA9.017");  // UTF-8 already: kept
  json.key("dos").fileName("\x82t\x82.017");            // not UTF-8: code page 850
  json.key("xyz").beginArray(JsonWriter::Layout::kInline);
  json.number(0.00125, 3).number(-0.0001, 3).number(std::numeric_limits<double>::quiet_NaN(), 2);
  json.endArray();
  json.key("empty").beginArray().endArray();
  json.key("list").beginArray().integer(-7).boolean(true).null().endArray();
  json.endObject();
  EXPECT_EQ(json.finish(),
            "{\n"
            "  \"name\": \"Donn\xC3\xA9" "es \\\"A\\\"\\\\\\t\\u0001\",\n"
            "  \"file\": \"\xC3\xA9t\xC3\xA9.017\",\n"
            "  \"dos\": \"\xC3\xA9t\xC3\xA9.017\",\n"
            "  \"xyz\": [0.001, 0.000, null],\n"
            "  \"empty\": [],\n"
            "  \"list\": [\n"
            "    -7,\n"
            "    true,\n"
            "    null\n"
            "  ]\n"
            "}\n");
}

TEST(JsonWriter, RefusesADocumentBuiltWrongly) {
  EXPECT_THROW(JsonWriter().beginObject().integer(1), std::logic_error);  // no member name
  EXPECT_THROW(JsonWriter().beginArray().key("a"), std::logic_error);
  EXPECT_THROW(JsonWriter().beginArray().endObject(), std::logic_error);
  EXPECT_THROW(JsonWriter().beginObject().finish(), std::logic_error);
}

TEST(TextTable, AlignsColumnsByCharactersNotBytes) {
  TextTable table({{"Name", TextTable::Align::kLeft}, {"mm", TextTable::Align::kRight},
                   {"Note", TextTable::Align::kLeft}});
  table.addRow({"CH\xC3\x82T", "12.5"});  // CHÂT: 4 characters, 5 bytes
  table.addRow({"LONGNAME", "-3.0", "flagged"});
  EXPECT_EQ(table.render("  "),
            "  Name        mm  Note\n"
            "  CH\xC3\x82T      12.5\n"
            "  LONGNAME  -3.0  flagged\n");
}

}  // namespace
}  // namespace velk
