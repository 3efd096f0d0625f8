#include "plot/text_metrics.h"

#include <array>
#include <cstddef>

namespace velk::plot {
namespace {

// Advance widths in thousandths of an em of the printable ASCII characters, from the space
// (0x20) to the tilde (0x7E): per character the larger of Helvetica's and DejaVu Sans'.
constexpr std::array<short, 95> kRegular{
    // space ! " # $ % & ' ( ) * + , - . /
    318, 401, 460, 838, 636, 950, 780, 275, 390, 390, 500, 838, 318, 361, 318, 337,
    // 0-9
    636, 636, 636, 636, 636, 636, 636, 636, 636, 636,
    // : ; < = > ? @
    337, 337, 838, 838, 838, 556, 1015,
    // A-Z
    684, 686, 722, 770, 667, 611, 778, 752, 295, 500, 667, 557, 863, 748, 787, 667, 787,
    722, 667, 611, 732, 684, 989, 685, 667, 685,
    // [ \ ] ^ _ `
    390, 337, 390, 838, 556, 500,
    // a-z
    613, 635, 550, 635, 615, 352, 635, 634, 278, 278, 579, 278, 974, 634, 612, 635, 635,
    411, 521, 392, 634, 592, 818, 592, 592, 525,
    // { | } ~
    636, 337, 636, 838};

// Bold faces are wider by about this share (DejaVu Sans Bold against its regular face).
constexpr double kBoldWidening = 1.13;
constexpr int kWidestCapital = 1015;

bool startsCharacter(unsigned char byte) { return (byte & 0xC0) != 0x80; }

}  // namespace

double textWidth(std::string_view text, double font_size, bool bold) {
  long thousandths = 0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte <= 0x7E) {
      thousandths += kRegular[static_cast<std::size_t>(byte - 0x20)];
    } else if (startsCharacter(byte)) {
      thousandths += kWidestCapital;
    }
  }
  const double width = static_cast<double>(thousandths) / 1000 * font_size;
  return bold ? width * kBoldWidening : width;
}

}  // namespace velk::plot
