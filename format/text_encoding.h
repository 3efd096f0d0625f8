#pragma once

#include <string>
#include <string_view>

namespace velk {

// The O-files and the VELK files are in the DOS code page 850 (the letter é of the titles
// is the byte 0x82); XML, JSON and SVG are written in UTF-8. Bytes below 0x80 are ASCII.
std::string cp850ToUtf8(std::string_view text);

// Whether the bytes are well-formed UTF-8 (shortest forms, no surrogates, at most
// U+10FFFF). File names on today's systems usually are; the O-files' text is not.
bool isValidUtf8(std::string_view text);

// A file name as UTF-8: as it is when its bytes are UTF-8 already, else read as code
// page 850 (a name that came with the O-files from a DOS system).
std::string fileNameToUtf8(std::string_view name);

}  // namespace velk
