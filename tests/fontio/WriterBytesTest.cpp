// The writers' output for tiny inputs, checked against layouts worked out by hand from the
// formats: OVF header words, padded UTF-16 names, table entries, data offsets, count word and
// trailer; OVF commands and FNT lines for a few records; the record walk's ink box.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "FntWriter.h"
#include "InterfaceFont.h"
#include "OvfWriter.h"

using namespace vuzodo_fontio;

namespace {

std::int32_t WordAt(const std::vector<std::uint8_t>& b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | b.at(at + i);
  return static_cast<std::int32_t>(v);
}

float RealAt(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::bit_cast<float>(WordAt(b, at));
}

// Advance 1.0 then a dot at (0.5, 0.25): 12 + 12 bytes.
std::vector<std::uint8_t> SmallDrawing() {
  OvfDrawing d;
  d.Advance(1.0f);
  d.Dot(0.5f, 0.25f);
  return d.Bytes();
}

TEST(OvfWriterBytes, OneGlyphFontLaidOutByHand) {
  OvfFont font;
  font.word0 = 7;
  font.word1 = 9;
  font.name = u"Ab";          // 2 units: terminator and one pad unit, 8 bytes
  font.second_name = u"Xyz";  // 3 units: terminator only, 8 bytes
  font.header = {1.0f, 0.5f, 0.75f, -0.25f, 0, 0, 0, 0, 0, 0, 0, 2.0f};
  font.trailer_word = 1234;
  font.glyphs.push_back(
      OvfGlyph{65, 0.25f, 0.5f, 0.25f, 0.0f, 1.0f, {{{1, 0, 0, 1, 0, 0}, SmallDrawing()}}});
  const auto b = WriteOvf(font);

  // 8 (words) + 8 + 8 (names) + 48 (reals) = 72; entry 28 + 32 = 60; data 24 bytes at 132;
  // count word at 156; trailer at 160.
  ASSERT_EQ(b.size(), 168u);
  EXPECT_EQ(WordAt(b, 0), 7);
  EXPECT_EQ(WordAt(b, 4), 9);
  const std::vector<std::uint8_t> names = {'A', 0, 'b', 0, 0,   0, 0, 0,
                                           'X', 0, 'y', 0, 'z', 0, 0, 0};
  EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 8, b.begin() + 24), names);
  EXPECT_EQ(WordAt(b, 24), 0x3F800000);                              // h0 1.0
  EXPECT_EQ(WordAt(b, 28), 0x3F000000);                              // h1 0.5
  EXPECT_EQ(WordAt(b, 32), 0x3F400000);                              // h2 0.75
  EXPECT_EQ(WordAt(b, 36), static_cast<std::int32_t>(0xBE800000u));  // h3 -0.25
  EXPECT_EQ(WordAt(b, 68), 0x40000000);                              // h11 2.0
  EXPECT_EQ(WordAt(b, 72), 65);                                      // code
  EXPECT_EQ(WordAt(b, 76), 0x3E800000);                              // e0 0.25
  EXPECT_EQ(WordAt(b, 92), 0x3F800000);                              // top 1.0
  EXPECT_EQ(WordAt(b, 96), 1);                                       // record count
  EXPECT_EQ(WordAt(b, 100), 0x3F800000);                             // matrix a
  EXPECT_EQ(WordAt(b, 104), 0);                                      // matrix b
  EXPECT_EQ(WordAt(b, 124), 24);                                     // data length
  EXPECT_EQ(WordAt(b, 128), 132);                                    // data offset
  EXPECT_EQ(WordAt(b, 132), 0);                                      // command 0
  EXPECT_EQ(WordAt(b, 136), 0x3F800000);                             // advance 1.0
  EXPECT_EQ(WordAt(b, 140), 0);                                      // unused word
  EXPECT_EQ(WordAt(b, 144), 6);                                      // command 6
  EXPECT_EQ(WordAt(b, 148), 0x3F000000);                             // x 0.5
  EXPECT_EQ(WordAt(b, 152), 0x3E800000);                             // y 0.25
  EXPECT_EQ(WordAt(b, 156), 1);                                      // glyph count at X - 4
  EXPECT_EQ(WordAt(b, 160), 160);                                    // X
  EXPECT_EQ(WordAt(b, 164), 1234);                                   // trailer word
}

TEST(OvfWriterBytes, OffsetsRunOnAcrossGlyphsAndPlacementRecords) {
  OvfDrawing advance_only;
  advance_only.Advance(2.0f);
  OvfFont font;  // empty names: one terminator and one pad unit each
  font.glyphs.push_back(OvfGlyph{65, 0, 0, 0, 0, 0, {{{1, 0, 0, 1, 0, 0}, SmallDrawing()}}});
  font.glyphs.push_back(OvfGlyph{
      66, 0, 0, 0, 0, 0, {{{1, 0, 0, 1, 0, 0}, advance_only.Bytes()}, {{2, 0, 0, 2, 0, 0}, {}}}});
  const auto b = WriteOvf(font);
  // Header 8 + 4 + 4 + 48 = 64; entry A 60 bytes at 64; entry B 28 + 64 = 92 bytes at 124;
  // data from 216: A 24 bytes, B's first record 12 bytes at 240, its second 0 bytes at 252.
  ASSERT_EQ(b.size(), 264u);
  EXPECT_EQ(WordAt(b, 8), 0);
  EXPECT_EQ(WordAt(b, 12), 0);
  EXPECT_EQ(WordAt(b, 64 + 56), 216);
  EXPECT_EQ(WordAt(b, 124), 66);
  EXPECT_EQ(WordAt(b, 124 + 24), 2);
  EXPECT_EQ(WordAt(b, 124 + 28 + 24), 12);
  EXPECT_EQ(WordAt(b, 124 + 28 + 28), 240);
  EXPECT_EQ(RealAt(b, 124 + 60), 2.0f);  // second record's matrix a
  EXPECT_EQ(WordAt(b, 124 + 60 + 24), 0);
  EXPECT_EQ(WordAt(b, 124 + 60 + 28), 252);
  EXPECT_EQ(WordAt(b, 244), 0x40000000);  // B's advance
  EXPECT_EQ(WordAt(b, 252), 2);           // count word
  EXPECT_EQ(WordAt(b, 256), 256);         // X
}

// A closed square, a move, a clockwise quarter arc, a dot and the closing move, unit 1000:
//   (100,0) (900,0) (900,800) (100,800) back; pen to (1000,400); arc to (600,800) about
//   (1000,800), from -90 degrees to -180; dot at (700,0); pen to (1000,0).
const std::vector<int> kRecords = {40,   100, 0,   41,  800,  0,    41,  0,   800, 41,
                                   -800, 0,   41,  0,   -800, 40,   900, 400, 42,  -400,
                                   400,  0,   400, 466, 100,  -800, 40,  300, 0};

TEST(OvfWriterRecords, RunsArcsAndDotsBecomeCommands) {
  const OvfGlyph g = OvfGlyphFromRecords(RecordGlyph{65, kRecords, 1000.0}, 1000.0);
  // Ink: x 100 .. 1000 (the arc's start), y 0 .. 800.
  EXPECT_FLOAT_EQ(g.e0, 0.1f);
  EXPECT_FLOAT_EQ(g.e1, 0.9f);
  EXPECT_FLOAT_EQ(g.e2, 0.0f);
  EXPECT_FLOAT_EQ(g.bottom, 0.0f);
  EXPECT_FLOAT_EQ(g.top, 0.8f);
  ASSERT_EQ(g.placements.size(), 1u);
  const auto& d = g.placements[0].data;
  ASSERT_EQ(d.size(), 4u * 23);
  EXPECT_EQ(WordAt(d, 0), 0);
  EXPECT_FLOAT_EQ(RealAt(d, 4), 1.0f);
  EXPECT_EQ(WordAt(d, 12), 2);  // polyline
  EXPECT_EQ(WordAt(d, 16), 4);  // four points, the repeated start dropped
  EXPECT_EQ(WordAt(d, 20), 1);  // closed
  const float square[8] = {0.1f, 0, 0.9f, 0, 0.9f, 0.8f, 0.1f, 0.8f};
  for (int i = 0; i < 8; ++i) EXPECT_FLOAT_EQ(RealAt(d, 24 + 4 * i), square[i]) << i;
  EXPECT_EQ(WordAt(d, 56), 3);  // circular arc
  const float arc[5] = {1.0f, 0.8f, 0.4f, static_cast<float>(-std::numbers::pi / 2),
                        static_cast<float>(-std::numbers::pi / 2)};
  for (int i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(RealAt(d, 60 + 4 * i), arc[i]) << i;
  EXPECT_EQ(WordAt(d, 80), 6);  // dot
  EXPECT_FLOAT_EQ(RealAt(d, 84), 0.7f);
  EXPECT_FLOAT_EQ(RealAt(d, 88), 0.0f);
}

TEST(OvfWriterRecords, OpenRunsEmptyGlyphsAndOverlongArcs) {
  // An open two-segment run; a space-like glyph; an arc whose rounded ends make it a little
  // more than a quarter turn: (1000,0) about (0,0) to (-3,1000).
  const OvfGlyph open = OvfGlyphFromRecords(RecordGlyph{1, {41, 10, 0, 41, 0, 10}, 10.0}, 10.0);
  EXPECT_EQ(WordAt(open.placements[0].data, 16), 3);
  EXPECT_EQ(WordAt(open.placements[0].data, 20), 0);

  const OvfGlyph space = OvfGlyphFromRecords(RecordGlyph{32, {40, 278, 0}, 278.0}, 1000.0);
  EXPECT_EQ(space.placements[0].data.size(), 12u);  // the advance alone
  EXPECT_FLOAT_EQ(space.e0 + space.e1, 0.0f);
  EXPECT_FLOAT_EQ(space.e2, 0.278f);

  const OvfGlyph arc =
      OvfGlyphFromRecords(RecordGlyph{2, {40, 1000, 0, 42, -1003, 1000, -1000, 0}, 0.0}, 1.0);
  EXPECT_EQ(WordAt(arc.placements[0].data, 12), 3);
  EXPECT_EQ(RealAt(arc.placements[0].data, 32), static_cast<float>(std::numbers::pi / 2));
}

TEST(FntWriterLines, RecordsMapOneToOne) {
  // Pen after the records: (1000,0) = the advance, so no closing move.
  EXPECT_EQ(FntGlyphFromRecords(RecordGlyph{65, kRecords, 1000.0}),
            "def 65\n"
            "m 100,0\n"
            "d 800,0\n"
            "d 0,800\n"
            "d -800,0\n"
            "d 0,-800\n"
            "m 900,400\n"
            "a -400,400,0,400\n"
            "point 100,-800\n"
            "m 300,0\n");
  // Zero moves are left out; a pen that ends away from (advance, 0) is brought there, with
  // the advance's fraction: 12.4f is 12.3999996185..., less 5 is exactly the float printed
  // shortest as 7.3999996.
  EXPECT_EQ(FntGlyphFromRecords(RecordGlyph{66, {40, 0, 0, 41, 5, 7}, 12.4f}),
            "def 66\nd 5,7\nm 7.3999996,-7\n");
  EXPECT_EQ(WriteFnt({RecordGlyph{1, {}, 0.0}, RecordGlyph{2, {}, 3.0}}),
            "def 1\n\ndef 2\nm 3,0\n");
}

TEST(RecordWalk, InkBoxTakesArcExtentsAndStopsAtCutRecords) {
  // A quarter arc from (707,-707) about the origin to (707,707) passes (1000,0).
  const auto box = RecordInkBox({40, 707, -707, 42, 0, 1414, -707, 707});
  ASSERT_TRUE(box.has_value());
  EXPECT_DOUBLE_EQ(box->max_x, std::hypot(707.0, 707.0));
  EXPECT_DOUBLE_EQ(box->min_x, 707.0);
  EXPECT_DOUBLE_EQ(box->min_y, -707.0);
  EXPECT_FALSE(RecordInkBox({40, 5, 5}).has_value());           // moves draw nothing
  EXPECT_FALSE(RecordInkBox({41, 5}).has_value());              // cut off
  EXPECT_FALSE(RecordInkBox({7, 1, 1, 41, 1, 1}).has_value());  // unknown code ends the walk
  long x = 0, y = 0;
  RecordPenEnd({40, 1, 2, 42, 3, 4, 9, 9, 466, 5, 6}, x, y);
  EXPECT_EQ(x, 9);
  EXPECT_EQ(y, 12);
}

TEST(CodeRanges, DecimalHexAndUnicodeRangesAndRefusals) {
  std::vector<int> codes;
  std::string error;
  ASSERT_TRUE(ParseCodeRanges("65-67,0x20,U+00e9,0xFFFF", codes, error)) << error;
  EXPECT_EQ(codes, (std::vector<int>{65, 66, 67, 32, 0xE9, 0xFFFF}));
  for (const char* bad : {"", "0", "70-65", "0x10000", "a", "1-", "-5", "65,", "1e3", "0x"}) {
    std::vector<int> none;
    EXPECT_FALSE(ParseCodeRanges(bad, none, error)) << bad;
  }
}

}  // namespace
