// The writers' output for tiny inputs against layouts worked out by hand from the formats: OVF
// header words, padded UTF-16 names, table entries, offsets, count word and trailer; OVF
// commands and FNT lines for a few records; the record walk's ink box; code range parsing.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
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
std::int32_t Real(float v) {
  return std::bit_cast<std::int32_t>(v);
}
void ExpectWords(const std::vector<std::uint8_t>& b,
                 std::vector<std::pair<std::size_t, std::int32_t>> rows) {
  for (const auto& [at, word] : rows) EXPECT_EQ(WordAt(b, at), word) << "at " << at;
}

// Advance 1.0 then a dot at (0.5, 0.25): 12 + 12 bytes.
std::vector<std::uint8_t> SmallDrawing() {
  OvfDrawing d;
  d.Advance(1.0f);
  d.Dot(0.5f, 0.25f);
  return d.Bytes();
}

// Words 8, names "Ab" (terminator and a pad unit) and "Xyz" (terminator) 8 + 8, reals 48: 72;
// the entry 28 + 32 = 60; data 24 bytes at 132; count word at 156, trailer at 160.
// A second font: empty names (4 bytes each), header 64; entry A at 64, entry B (two records)
// 92 bytes at 124; data from 216: A 24 bytes, B's records 12 bytes at 240 and 0 at 252.
TEST(OvfWriterBytes, FontsLaidOutByHand) {
  OvfFont font;
  font.word0 = 7, font.word1 = 9, font.name = u"Ab", font.second_name = u"Xyz";
  font.header = {1.0f, 0.5f, 0.75f, -0.25f, 0, 0, 0, 0, 0, 0, 0, 2.0f};
  font.trailer_word = 1234;
  font.glyphs.push_back(
      OvfGlyph{65, 0.25f, 0.5f, 0.25f, 0.0f, 1.0f, {{{1, 0, 0, 1, 0, 0}, SmallDrawing()}}});
  const auto b = WriteOvf(font);
  ASSERT_EQ(b.size(), 168u);
  EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 8, b.begin() + 24),
            (std::vector<std::uint8_t>{'A', 0, 'b', 0, 0, 0, 0, 0, 'X', 0, 'y', 0, 'z', 0, 0, 0}));
  ExpectWords(b, {{0, 7},          {4, 9},           {24, Real(1)},
                  {28, Real(0.5)}, {32, Real(0.75)}, {36, Real(-0.25)},
                  {68, Real(2)},   {72, 65},         {76, Real(0.25)},
                  {92, Real(1)},   {96, 1},          {100, Real(1)},
                  {104, 0},        {124, 24},        {128, 132},
                  {132, 0},        {136, Real(1)},   {140, 0},
                  {144, 6},        {148, Real(0.5)}, {152, Real(0.25)},
                  {156, 1},        {160, 160},       {164, 1234}});
  OvfDrawing advance_only;
  advance_only.Advance(2.0f);
  OvfFont two;
  two.glyphs.push_back(OvfGlyph{65, 0, 0, 0, 0, 0, {{{1, 0, 0, 1, 0, 0}, SmallDrawing()}}});
  two.glyphs.push_back(OvfGlyph{
      66, 0, 0, 0, 0, 0, {{{1, 0, 0, 1, 0, 0}, advance_only.Bytes()}, {{2, 0, 0, 2, 0, 0}, {}}}});
  const auto c = WriteOvf(two);
  ASSERT_EQ(c.size(), 264u);
  ExpectWords(c, {{8, 0},
                  {12, 0},
                  {120, 216},
                  {124, 66},
                  {148, 2},
                  {176, 12},
                  {180, 240},
                  {184, Real(2)},
                  {208, 0},
                  {212, 252},
                  {244, Real(2)},
                  {252, 2},
                  {256, 256}});
}

// A closed square, a move, a clockwise quarter arc, a dot and the closing move, unit 1000:
// (100,0) (900,0) (900,800) (100,800) back; pen to (1000,400); arc to (600,800) about
// (1000,800), from -90 degrees to -180; dot at (700,0); pen to (1000,0).
const std::vector<int> kRecords = {40,   100, 0,   41,  800,  0,    41,  0,   800, 41,
                                   -800, 0,   41,  0,   -800, 40,   900, 400, 42,  -400,
                                   400,  0,   400, 466, 100,  -800, 40,  300, 0};

// Ink x 100 .. 1000 (the arc's start), y 0 .. 800; four points, the repeated start dropped.
TEST(OvfWriterRecords, RunsArcsAndDotsBecomeCommands) {
  const OvfGlyph g = OvfGlyphFromRecords(RecordGlyph{65, kRecords, 1000.0}, 1000.0);
  EXPECT_EQ(std::vector<float>({g.e0, g.e1, g.e2, g.bottom, g.top}),
            std::vector<float>({0.1f, 0.9f, 0, 0, 0.8f}));
  ASSERT_EQ(g.placements.size(), 1u);
  const auto& d = g.placements[0].data;
  ASSERT_EQ(d.size(), 4u * 23);
  const float half_pi = static_cast<float>(-std::numbers::pi / 2);
  ExpectWords(d, {{0, 0},
                  {4, Real(1)},
                  {12, 2},
                  {16, 4},
                  {20, 1},
                  {24, Real(0.1f)},
                  {28, 0},
                  {32, Real(0.9f)},
                  {36, 0},
                  {40, Real(0.9f)},
                  {44, Real(0.8f)},
                  {48, Real(0.1f)},
                  {52, Real(0.8f)},
                  {56, 3},
                  {60, Real(1)},
                  {64, Real(0.8f)},
                  {68, Real(0.4f)},
                  {72, Real(half_pi)},
                  {76, Real(half_pi)},
                  {80, 6},
                  {84, Real(0.7f)},
                  {88, 0}});
  // An open two-segment run; a space-like glyph (the advance alone); an arc whose rounded ends
  // make it a little more than a quarter turn: (1000,0) about (0,0) to (-3,1000).
  const auto open = OvfGlyphFromRecords(RecordGlyph{1, {41, 10, 0, 41, 0, 10}, 10.0}, 10.0);
  ExpectWords(open.placements[0].data, {{16, 3}, {20, 0}});
  const OvfGlyph space = OvfGlyphFromRecords(RecordGlyph{32, {40, 278, 0}, 278.0}, 1000.0);
  EXPECT_EQ(space.placements[0].data.size(), 12u);
  EXPECT_FLOAT_EQ(space.e0 + space.e1, 0.0f);
  EXPECT_FLOAT_EQ(space.e2, 0.278f);
  const auto arc =
      OvfGlyphFromRecords(RecordGlyph{2, {40, 1000, 0, 42, -1003, 1000, -1000, 0}, 0.0}, 1.0);
  ExpectWords(arc.placements[0].data,
              {{12, 3}, {32, Real(static_cast<float>(std::numbers::pi / 2))}});
}

// Zero moves are left out; a pen that ends away from (advance, 0) is brought there with the
// advance's fraction: 12.4f - 5 is exactly the float printed shortest as 7.3999996.
TEST(FntWriterLines, RecordsMapOneToOne) {
  EXPECT_EQ(FntGlyphFromRecords(RecordGlyph{65, kRecords, 1000.0}),
            "def 65\nm 100,0\nd 800,0\nd 0,800\nd -800,0\nd 0,-800\nm 900,400\na -400,400,0,400\n"
            "point 100,-800\nm 300,0\n");
  EXPECT_EQ(FntGlyphFromRecords(RecordGlyph{66, {40, 0, 0, 41, 5, 7}, 12.4f}),
            "def 66\nd 5,7\nm 7.3999996,-7\n");
  EXPECT_EQ(WriteFnt({RecordGlyph{1, {}, 0.0}, RecordGlyph{2, {}, 3.0}}),
            "def 1\n\ndef 2\nm 3,0\n");
}

// A quarter arc from (707,-707) about the origin to (707,707) passes (1000,0).
TEST(RecordWalk, InkBoxTakesArcExtentsAndStopsAtCutRecords) {
  const auto box = RecordInkBox({40, 707, -707, 42, 0, 1414, -707, 707});
  ASSERT_TRUE(box.has_value());
  EXPECT_DOUBLE_EQ(box->max_x, std::hypot(707.0, 707.0));
  EXPECT_DOUBLE_EQ(box->min_x, 707.0);
  EXPECT_DOUBLE_EQ(box->min_y, -707.0);
  for (const std::vector<int>& none : {std::vector<int>{40, 5, 5}, {41, 5}, {7, 1, 1, 41, 1, 1}})
    EXPECT_FALSE(RecordInkBox(none).has_value()) << none.size();  // moves, cut off, unknown code
  long x = 0, y = 0;
  RecordPenEnd({40, 1, 2, 42, 3, 4, 9, 9, 466, 5, 6}, x, y);
  EXPECT_EQ(std::make_pair(x, y), std::make_pair(9L, 12L));
}

TEST(CodeRanges, DecimalHexAndUnicodeRangesAndRefusals) {
  std::vector<int> codes;
  std::string error;
  ASSERT_TRUE(ParseCodeRanges("65-67,0x20,U+00e9,0xFFFF", codes, error)) << error;
  EXPECT_EQ(codes, (std::vector<int>{65, 66, 67, 32, 0xE9, 0xFFFF}));
  for (const char* bad : {"", "0", "70-65", "0x10000", "a", "1-", "-5", "65,", "1e3", "0x"})
    EXPECT_FALSE(ParseCodeRanges(bad, codes, error)) << bad;
}

}  // namespace
