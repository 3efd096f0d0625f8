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

// The same for the bold faces: Helvetica Bold's and DejaVu Sans Bold's.
constexpr std::array<short, 95> kBold{
    348, 456, 521, 838, 696, 1002, 872, 306, 457, 457, 523, 838, 380, 415, 380, 365,
    696, 696, 696, 696, 696, 696, 696, 696, 696, 696,
    400, 400, 838, 838, 838, 611, 1000,
    774, 762, 734, 830, 683, 683, 821, 837, 372, 556, 775, 637, 995, 837, 850, 733, 850,
    770, 720, 682, 812, 774, 1103, 771, 724, 725,
    457, 365, 457, 838, 556, 500,
    675, 716, 593, 716, 678, 435, 716, 712, 343, 343, 665, 343, 1042, 712, 687, 716, 716,
    493, 595, 478, 712, 652, 924, 645, 652, 582,
    712, 365, 712, 838};

// A character outside ASCII: as wide as the widest of the face.
constexpr int kWidestRegular = 1015;
constexpr int kWidestBold = 1103;

bool startsCharacter(unsigned char byte) { return (byte & 0xC0) != 0x80; }

}  // namespace

double textWidth(std::string_view text, double font_size, bool bold) {
  const std::array<short, 95>& widths = bold ? kBold : kRegular;
  long thousandths = 0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte <= 0x7E) {
      thousandths += widths[static_cast<std::size_t>(byte - 0x20)];
    } else if (startsCharacter(byte)) {
      thousandths += bold ? kWidestBold : kWidestRegular;
    }
  }
  return static_cast<double>(thousandths) / 1000 * font_size;
}

}  // namespace velk::plot
