// Shared helpers of the platform tests: a font selected into a DC, native
// buffer parsing, golden file reading, and the GDI rounding of scaled values.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "FontFace.h"
#include "gdi.h"

namespace vuzodo::platform::test {

std::string TestDir();

// a × b ÷ c rounded half away from zero (Windows MulDiv).
long MulDiv(long a, long b, long c);

double ToDouble(const FIXED& f);
FIXED ToFixed(double v);
MAT2 MakeMat2(double m11, double m12, double m21, double m22);
MAT2 Identity();

// A font created for a face (through the long-face channel), selected into its
// own memory DC; everything is released and deselected on destruction.
class FontDc {
 public:
  FontDc(const std::u16string& face, LONG height, LONG weight = FW_NORMAL, bool italic = false);
  ~FontDc();
  FontDc(const FontDc&) = delete;
  FontDc& operator=(const FontDc&) = delete;

  HDC dc() const { return dc_; }
  HFONT font() const { return font_; }
  // Size query then write; fails the test when they disagree.
  std::vector<std::uint8_t> Native(UINT code, const MAT2& m, GLYPHMETRICS* gm = nullptr,
                                   UINT flags = 0) const;
  OUTLINETEXTMETRICW Otm() const;
  std::u16string Family() const;
  std::u16string Style() const;
  TEXTMETRICW Tm() const;
  std::vector<KERNINGPAIR> Pairs() const;

 private:
  std::u16string Name(PSTR OUTLINETEXTMETRICW::*field) const;
  HFONT font_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

std::u16string U16(const std::string& s);
std::string U8(const std::u16string& s);

struct Record {
  WORD type = 0;
  std::vector<std::pair<double, double>> points;
};
struct Contour {
  std::pair<double, double> start;
  std::vector<Record> records;
};
// Parses a native buffer. Any inconsistency (a cb past the end, a record past
// its contour, a wrong polygon type) fails the test and returns what was read.
std::vector<Contour> ParseNative(const std::vector<std::uint8_t>& buffer);

// golden/outlines.txt: font path, code, contours in font units.
struct GoldenGlyph {
  std::string path;
  unsigned code = 0;
  std::vector<Contour> contours;
};
std::vector<GoldenGlyph> ReadGoldenOutlines();

// golden/metrics.txt: per font the table values and a few glyph boxes.
struct GoldenGlyphBox {
  unsigned code = 0;
  long advance = 0;
  bool empty = false;
  double x_min = 0, y_min = 0, x_max = 0, y_max = 0;
};
struct GoldenFont {
  std::string path;
  std::map<std::string, long> values;
  std::vector<GoldenGlyphBox> glyphs;
};
std::vector<GoldenFont> ReadGoldenMetrics();

// golden/kerning.txt: kern table pair count and a few pairs per font.
struct GoldenKerning {
  std::string path;
  long count = 0;
  std::vector<KERNINGPAIR> pairs;  // amounts in font units; 0 = not in the table
};
std::vector<GoldenKerning> ReadGoldenKerning();

// The amount GetKernAmount-style lookup gives: the last matching pair, or 0.
int FindPair(const std::vector<KERNINGPAIR>& pairs, WCHAR first, WCHAR second, bool* found);

}  // namespace vuzodo::platform::test
