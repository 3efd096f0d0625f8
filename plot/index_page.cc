#include "plot/index_page.h"

#include "plot/svg_writer.h"

namespace velk::plot {
namespace {

std::string escaped(std::string_view text) { return svgText(text).escaped(); }

}  // namespace

std::string indexPage(std::string_view title, std::string_view introduction,
                      std::span<const IndexEntry> entries) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
      escaped(title) + "</title>\n</head>\n<body>\n<h1>" + escaped(title) + "</h1>\n<p>" +
      escaped(introduction) + "</p>\n";
  for (const IndexEntry& entry : entries) {
    const std::string file = escaped(entry.file);
    page += "<h2>" + escaped(entry.caption) + "</h2>\n<p><a href=\"" + file + "\"><img src=\"" +
            file + "\" width=\"" + coordinateText(entry.width) + "\" height=\"" +
            coordinateText(entry.height) + "\" alt=\"" + escaped(entry.caption) + "\"></a></p>\n";
  }
  return page + "</body>\n</html>\n";
}

}  // namespace velk::plot
