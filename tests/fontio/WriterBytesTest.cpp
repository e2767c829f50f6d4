// The writers' output for tiny inputs against layouts worked out by hand (the round trips check
// what the readers use; this checks the rest), and code range parsing.
#include <gtest/gtest.h>

#include <bit>
#include <numbers>

#include "FntWriter.h"
#include "InterfaceFont.h"
#include "OvfWriter.h"

using namespace vuzodo_fontio;

namespace {

// Words 8, names "Ab" + pad and "Xyz" 8 + 8, reals 48: 72; the entry 28 + 32 = 60; data (an
// advance and a dot, 12 + 12 bytes) at 132; the count word at 156 and the trailer at 160.
TEST(OvfWriterBytes, FontLaidOutByHand) {
  OvfDrawing d;
  d.Advance(1.0f);
  d.Dot(0.5f, 0.25f);
  OvfFont font;
  font.word0 = 7, font.word1 = 9, font.name = u"Ab", font.second_name = u"Xyz";
  font.header = {1.0f, 0.5f, 0.75f, -0.25f, 0, 0, 0, 0, 0, 0, 0, 2.0f};
  font.trailer_word = 1234;
  font.glyphs.push_back(
      OvfGlyph{65, 0.25f, 0.5f, 0.25f, 0.0f, 1.0f, {{{1, 0, 0, 1, 0, 0}, d.Bytes()}}});
  const auto b = WriteOvf(font);
  ASSERT_EQ(b.size(), 168u);
  EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 8, b.begin() + 24),
            (std::vector<std::uint8_t>{'A', 0, 'b', 0, 0, 0, 0, 0, 'X', 0, 'y', 0, 'z', 0, 0, 0}));
  const auto real = [](float v) { return std::bit_cast<std::int32_t>(v); };
  const std::pair<std::size_t, std::int32_t> rows[] = {
      {0, 7},           {4, 9},         {24, real(1)}, {28, real(0.5)}, {32, real(0.75)},
      {36, real(-.25)}, {68, real(2)},  {72, 65},      {76, real(.25)}, {92, real(1)},
      {96, 1},          {100, real(1)}, {104, 0},      {124, 24},       {128, 132},
      {132, 0},         {136, real(1)}, {140, 0},      {144, 6},        {148, real(0.5)},
      {152, real(.25)}, {156, 1},       {160, 160},    {164, 1234}};
  const auto word = [](const std::vector<std::uint8_t>& v, std::size_t at) {
    return v[at] | v[at + 1] << 8 | v[at + 2] << 16 | v[at + 3] << 24;
  };
  for (const auto& [at, value] : rows) EXPECT_EQ(word(b, at), value) << "at " << at;
  // An arc whose rounded ends make it a little more than a quarter turn, (1000,0) about the
  // origin to (-3,1000), is written as a quarter turn.
  const auto arc =
      OvfGlyphFromRecords(RecordGlyph{2, {40, 1000, 0, 42, -1003, 1000, -1000, 0}, 0.0}, 1.0);
  EXPECT_EQ(word(arc.placements[0].data, 12), 3);
  EXPECT_EQ(word(arc.placements[0].data, 32), real(static_cast<float>(std::numbers::pi / 2)));
}

// Records map one to one, zero moves left out; a pen ending away from (advance, 0) is brought
// there: 12.4f - 5 is exactly the float printed shortest as 7.3999996.
TEST(FntWriterLines, RecordsMapOneToOne) {
  const std::vector<int> records = {40,   100, 0,   41,  800,  0,    41,  0,   800, 41,
                                    -800, 0,   41,  0,   -800, 40,   900, 400, 42,  -400,
                                    400,  0,   400, 466, 100,  -800, 40,  300, 0};
  EXPECT_EQ(FntGlyphFromRecords(RecordGlyph{65, records, 1000.0}),
            "def 65\nm 100,0\nd 800,0\nd 0,800\nd -800,0\nd 0,-800\nm "
            "900,400\na -400,400,0,400\n"
            "point 100,-800\nm 300,0\n");
  EXPECT_EQ(FntGlyphFromRecords(RecordGlyph{66, {40, 0, 0, 41, 5, 7}, 12.4f}),
            "def 66\nd 5,7\nm 7.3999996,-7\n");
  EXPECT_EQ(WriteFnt({RecordGlyph{1, {}, 0.0}, RecordGlyph{2, {}, 3.0}}),
            "def 1\n\ndef 2\nm 3,0\n");
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
