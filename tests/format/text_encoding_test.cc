#include "format/text_encoding.h"

#include <gtest/gtest.h>

namespace velk {
namespace {

TEST(Cp850ToUtf8, AsciiStaysAndTheUpperHalfBecomesItsLetters) {
  EXPECT_EQ(cp850ToUtf8("CAST & <1>"), "CAST & <1>");
  EXPECT_EQ(cp850ToUtf8("Donn\x82" "es"), "Donn\xC3\xA9" "es");  // é
  EXPECT_EQ(cp850ToUtf8("\x80\xFF"), "\xC3\x87\xC2\xA0");        // Ç, no-break space
  EXPECT_EQ(cp850ToUtf8("\xDB"), "\xE2\x96\x88");                // full block, 3 bytes
}

}  // namespace
}  // namespace velk
