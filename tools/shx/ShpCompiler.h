// Compiles AutoCAD shape source text (.shp) into a binary SHX font.
//
// Source format: one definition per `*` header line, its bytes on the lines that follow.
//
//     ; comment to the end of the line
//     *code,defbytes,name      header: shape number, count of bytes (final 0 included), name
//     2,014,(8,-3),0           bytes: decimal (-128 to 255) or hexadecimal with a leading 0;
//                              parentheses only group; negative values are stored in two's
//                              complement (-3 is 0xFD)
//
// The first definition decides the kind of font:
//
//     *0,4,name                shape file; its bytes are above,below,modes,0
//     *UNIFONT,6,name          unicode font; above,below,modes,encoding,type,0
//     *BIGFONT n,r,s1,e1,...   big font with r escape ranges s-e, then its font information:
//     *0,4,name                  above,below,modes,0
//     *0,5,name                  or, extended, height,0,modes,width,0
//
// Shape numbers follow the byte rule too: a leading 0 means hexadecimal (*08141 is 0x8141).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vuzodo_tools {

struct ShpOptions {
  // Shape files only: the version in the header, "1.0" or "1.1" (the layout is the same).
  std::string version = "1.0";
  // Big fonts only: unused (all zero) index entries written after the shapes' entries.
  int empty_slots = 0;
};

struct ShpResult {
  bool ok = false;
  std::vector<unsigned char> bytes;  // the SHX file when ok
  int line = 0;                      // 1-based source line of the error; 0 when it has none
  std::string message;               // the error, without the line
  // "line N: message", or the message alone when no line applies.
  std::string Describe() const;
};

// Source bytes are taken as they are (names are copied byte for byte).
ShpResult CompileShp(std::string_view source, const ShpOptions& options = {});

}  // namespace vuzodo_tools
