#include "plot/index_page.h"

#include "plot/svg_writer.h"

namespace velk::plot {

std::string indexPage(std::string_view title, std::string_view introduction,
                      std::span<const IndexEntry> entries) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
      escapeXml(title) + "</title>\n</head>\n<body>\n<h1>" + escapeXml(title) + "</h1>\n<p>" +
      escapeXml(introduction) + "</p>\n";
  for (const IndexEntry& entry : entries) {
    const std::string file = escapeXml(entry.file);
    page += "<h2>" + escapeXml(entry.caption) + "</h2>\n<p><a href=\"" + file + "\"><img src=\"" +
            file + "\" width=\"" + coordinateText(entry.width) + "\" height=\"" +
            coordinateText(entry.height) + "\" alt=\"" + escapeXml(entry.caption) + "\"></a></p>\n";
  }
  return page + "</body>\n</html>\n";
}

}  // namespace velk::plot
