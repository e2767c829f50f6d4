// Shared pieces of the font tests: the golden font data and geometry measures.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "FontDataHolder.h"

namespace fonttest {

inline constexpr char16_t kLiberation[] =
    u"/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";
inline constexpr char16_t kCarlito[] = u"/usr/share/fonts/truetype/crosextra/Carlito-Regular.ttf";
inline constexpr char16_t kFreeSansTtf[] = u"/usr/share/fonts/truetype/freefont/FreeSans.ttf";
inline constexpr char16_t kFreeSansOtf[] = u"/usr/share/fonts/opentype/freefont/FreeSans.otf";

// One font of golden/fonts.txt (values in font units).
struct GoldenFont {
  int em = 0;
  int win_ascent = 0;
  int win_descent = 0;
  int cap_top = 0;  // top of the control box of "A"
  int space_advance = 0;
  std::map<std::pair<int, int>, int> kern;  // legacy kern table values
  std::vector<int> contour_o;               // expected point counts of "O" (Liberation Sans)
};
// Keyed by the font's path.
const std::map<std::string, GoldenFont>& Goldens();
const GoldenFont& Golden(const char16_t* path);

// GDI's ppem for a positive cell height: MulDiv(em, height, winAscent + winDescent).
int CellPpem(const GoldenFont& font, int height);

// Shoelace area (signed, counter-clockwise positive) and box of a character's closed polylines.
double OutlineArea(const vuzodo::CharBufferHolder& c);
struct Box {
  double min_x, min_y, max_x, max_y;
};
Box OutlineBox(const vuzodo::CharBufferHolder& c);

std::u16string Utf16(const std::string& s);

}  // namespace fonttest
