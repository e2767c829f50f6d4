// Reader of OVF outline fonts: the whole file is held in memory for the life of the font and
// glyphs are decoded on demand.
//
// File layout (all numbers 4 bytes little-endian; integers 32-bit, reals IEEE single):
//   header      word 0, word 1, first name, second name (UTF-16 with terminator, padded with
//               zero units to a multiple of 4 bytes), twelve reals h0 ... h11
//   glyph table one entry per glyph directly after the header: code, e0, e1, e2, bottom, top,
//               record count, record count x 32-byte placement records
//   data        drawing commands at the offsets named by the placement records
//   count word  the glyph count at offset X - 4
//   trailer     last 8 bytes: X, then a word kept as read
#ifndef VUZODO_OVFFONTHANDLER_H
#define VUZODO_OVFFONTHANDLER_H

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "OVFShapeInfo.h"
#include "ReaderGlyph.h"

// Font-level values of an OVF file, as read.
struct OVFFontInfo {
  std::int32_t word0 = 0;  // header word 0, not interpreted
  std::int32_t word1 = 0;  // header word 1, not interpreted
  std::u16string name1;    // first header name, without terminator and padding
  std::u16string name2;    // second header name
  // h0 height, h1 width, h2 ascent, h3 descent (negative), h4 line gap, h5 strikeout position,
  // h6/h7 subscript offset x/y, h8 subscript size, h9/h10 superscript offset x/y,
  // h11 superscript size; font units.
  std::array<float, 12> h{};
  std::int32_t glyph_count = 0;      // the count word at X - 4, as read
  std::int32_t table_end = 0;        // X: the trailer's first word (offset just past the count)
  std::int32_t trailer_word = 0;     // the trailer's second word, not interpreted
  std::vector<OVFShapeInfo> glyphs;  // the glyph table in file order
};

// The synthesised text metrics of an OVF font, in output units, each truncated towards zero.
// The registry copies them into its TEXTMETRICW / OUTLINETEXTMETRICW fields of the same names.
struct OVFFontMetrics {
  std::int32_t tmHeight, tmAscent, tmDescent, tmInternalLeading, tmExternalLeading, tmAveCharWidth,
      tmMaxCharWidth, tmWeight;
  std::uint32_t otmEMSquare;
  std::int32_t otmAscent, otmDescent;
  std::uint32_t otmLineGap, otmsCapEmHeight;
  std::int32_t otmrcFontBox_left, otmrcFontBox_top, otmrcFontBox_right, otmrcFontBox_bottom;
  std::int32_t otmMacAscent, otmMacDescent;
  std::uint32_t otmMacLineGap;
  std::int32_t otmsStrikeoutPosition;
  std::int32_t otmptSubscriptSize_x, otmptSubscriptSize_y;
  std::int32_t otmptSubscriptOffset_x, otmptSubscriptOffset_y;
  std::int32_t otmptSuperscriptSize_x, otmptSuperscriptSize_y;
  std::int32_t otmptSuperscriptOffset_x, otmptSuperscriptOffset_y;
};

class OVFFontHandler {
 public:
  OVFFontHandler() = default;
  OVFFontHandler(const OVFFontHandler&) = delete;
  OVFFontHandler& operator=(const OVFFontHandler&) = delete;

  // Reads and parses the file at the UTF-16 path (only the low byte of each unit is used). A
  // file that cannot be opened or parsed leaves the handler without glyphs.
  void Load(const unsigned short* path);
  // The same from a narrow path, and from bytes already in memory.
  void LoadFile(const std::string& path);
  void LoadBytes(std::vector<std::uint8_t> bytes);

  const OVFFontInfo& GetFontInfo() const { return info_; }
  std::size_t GetFileSize() const { return file_.size(); }

  // The first glyph in table order with the code, its drawing data decoded; null when none.
  OVFShapeInfo* FindGlyph(std::int32_t code);

  // What the registry needs to build the character: copies of the glyph's outline, box
  // (0, bottom) to (e0 + e1 + e2, top) and its advance, in font units (apply ShapeScale after
  // setting the metrics). Empty when the font has no glyph with the code: the registry then
  // uses MissingGlyphSquare(code, unit_size).
  std::optional<ReaderGlyph> BuildGlyph(std::int32_t code);

  // unit_size / h0. A height of 0 or one that is not a number would make every outline
  // infinite, so it gives 1.0 (the outlines stay in font units).
  double ShapeScale(double unit_size) const;
  // The text metrics of the font for the unit size.
  OVFFontMetrics Metrics(double unit_size) const;

 private:
  void Parse();

  std::vector<std::uint8_t> file_;  // the whole file
  OVFFontInfo info_;
};

#endif  // VUZODO_OVFFONTHANDLER_H
