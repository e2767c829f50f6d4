// A font read through the C interface and written as OVF or FNT draws the source's text with the
// source's geometry: symmetric Hausdorff distance within 2 units at unit 1000 over segments (arcs
// in half-degree pieces), as many dots, lengths equal; FNT is normalised on its "A" when loaded.
// The writers' output for tiny inputs against layouts worked out by hand checks the rest.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <fstream>
#include <numbers>

#include "FntWriter.h"
#include "InterfaceFont.h"
#include "OvfWriter.h"
#include "vuzodo/vuzodo.h"

using namespace vuzodo_fontio;

namespace {

constexpr float kUnit = 1000.0f;

std::u16string Wide(const std::string& s) {
  return std::u16string(s.begin(), s.end());
}

// A text laid out with the default settings; script 1 sub-, 2 superscript.
void Open(std::u16string face, int fnt_mode, std::u16string text, float unit = kUnit,
          int script = 0) {
  InitializeTTF(unit);
  SetDefaults();
  SetFNTConversionMode(static_cast<EN_FNT_ConvertionStyle>(fnt_mode));
  SetFontFace(reinterpret_cast<unsigned short*>(face.data()));
  if (script == 1) SetModeSubscript();
  if (script == 2) SetModeSuperscript();
  AppendCharactersEx(reinterpret_cast<unsigned short*>(text.data()));
}

// Its records; -1 ends the array only where a code is due.
std::vector<int> Render(std::u16string face, int fnt_mode, std::u16string text, float unit = kUnit,
                        int script = 0) {
  Open(std::move(face), fnt_mode, std::move(text), unit, script);
  int* data = nullptr;
  const int count = GetOutLinesEx(-1, EN_RT_BORDER, &data, nullptr);
  std::vector<int> out;
  for (int p = 0; p < count && data[p] != -1; p += data[p] == 42 ? 5 : 3)
    out.insert(out.end(), data + p, data + std::min(p + (data[p] == 42 ? 5 : 3), count));
  DeleteTTFData(data);
  FinishText();
  return out;
}

// Segments (x0, y0, x1, y1) with dots as segments of no length, the pen path's length.
struct Drawing {
  std::vector<std::array<double, 4>> segments;
  double length = 0;
  std::size_t dots = 0;
};

// Arcs go the shorter way from the pen to the end about the centre.
Drawing Draw(const std::vector<int>& r, double scale = 1.0) {
  Drawing d;
  double x = 0, y = 0;
  const auto to = [&](double nx, double ny) {
    d.segments.push_back({x * scale, y * scale, nx * scale, ny * scale});
    d.length += std::hypot(nx - x, ny - y) * scale;
    x = nx, y = ny;
  };
  for (std::size_t p = 0; p + 2 < r.size(); p += r[p] == 42 ? 5 : 3) {
    const double nx = x + r[p + 1], ny = y + r[p + 2];
    if (r[p] == 42) {
      const double cx = x + r[p + 3], cy = y + r[p + 4], radius = std::hypot(x - cx, y - cy);
      const double a0 = std::atan2(y - cy, x - cx);
      const double sweep = std::remainder(std::atan2(ny - cy, nx - cx) - a0, 2 * std::numbers::pi);
      const int pieces = 1 + static_cast<int>(std::fabs(sweep) * 360 / std::numbers::pi);
      for (int k = 1; k < pieces; ++k) {
        const double a = a0 + sweep * k / pieces;
        to(cx + radius * std::cos(a), cy + radius * std::sin(a));
      }
    }
    if (r[p] == 466)
      d.dots++, d.segments.push_back({nx * scale, ny * scale, nx * scale, ny * scale});
    if (r[p] == 41 || r[p] == 42) to(nx, ny);
    x = nx, y = ny;
  }
  return d;
}

// Largest distance from a point of `a` (every 8 units along its segments) to `b`.
double DirectedHausdorff(const Drawing& a, const Drawing& b) {
  double worst = 0;
  for (const auto& [x0, y0, x1, y1] : a.segments) {
    const int steps = 1 + static_cast<int>(std::hypot(x1 - x0, y1 - y0) / 8);
    for (int k = 0; k <= steps; ++k) {
      const double px = x0 + (x1 - x0) * k / steps, py = y0 + (y1 - y0) * k / steps;
      double best = 1e300;
      for (const auto& [u0, v0, u1, v1] : b.segments) {
        const double dx = u1 - u0, dy = v1 - v0, len2 = dx * dx + dy * dy;
        const double t =
            len2 > 0 ? std::clamp(((px - u0) * dx + (py - v0) * dy) / len2, 0., 1.) : 0;
        best = std::min(best, std::hypot(px - (u0 + t * dx), py - (v0 + t * dy)));
      }
      worst = std::max(worst, best);
    }
  }
  return worst;
}

void ExpectSameDrawing(const Drawing& source, const Drawing& converted, const std::string& what) {
  ASSERT_FALSE(source.segments.empty() || converted.segments.empty()) << what;
  EXPECT_LE(DirectedHausdorff(source, converted), 2.0) << what;
  EXPECT_LE(DirectedHausdorff(converted, source), 2.0) << what;
  EXPECT_NEAR(converted.length, source.length, 0.002 * source.length) << what;
  EXPECT_EQ(converted.dots, source.dots) << what;
}

struct Case {
  const char* name;
  std::string face;
  int fnt_mode;
  std::u16string text;
  std::u16string codes;  // empty: the font's own list
};
// gtest would print the bytes of the row, padding included.
void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

// The OVF and FNT files, one set per test: ctest runs the tests of this file in parallel.
std::pair<std::u16string, std::u16string> ConvertBoth(const Case& c) {
  const InterfaceFont font = ReadThroughInterface(
      {.face = Wide(c.face), .fnt_mode = c.fnt_mode, .codes = {c.codes.begin(), c.codes.end()}});
  std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  std::replace(test.begin(), test.end(), '/', '-');
  const std::string base = std::string(VUZODO_FONTIO_OUT) + "/" + test + "-" + c.name;
  const auto ovf = WriteOvf(MakeOvfFont(font, u"RoundTrip", u"Regular"));
  std::ofstream(base + ".ovf", std::ios::binary)
      .write(reinterpret_cast<const char*>(ovf.data()), static_cast<std::streamsize>(ovf.size()));
  std::ofstream(base + ".fnt") << WriteFnt(font.glyphs);
  return {Wide(base + ".ovf"), Wide(base + ".fnt")};
}

class RoundTrip : public ::testing::TestWithParam<Case> {};

// Line metrics come back at most one unit apart (a float round trip); scripts sit alike.
TEST_P(RoundTrip, ConvertedFontsDrawTheSourceText) {
  const Case& c = GetParam();
  const auto [ovf, fnt] = ConvertBoth(c);
  const std::vector<int> source = Render(Wide(c.face), c.fnt_mode, c.text);
  ExpectSameDrawing(Draw(source), Draw(Render(ovf, c.fnt_mode, c.text)), "as OVF");
  const auto cap = RecordInkBox(Render(Wide(c.face), c.fnt_mode, u"A"));
  ExpectSameDrawing(Draw(source, cap ? kUnit / cap->max_y : 1.0),
                    Draw(Render(fnt, c.fnt_mode, c.text)), "as FNT");
  const std::u16string probe = c.text.substr(0, 1);
  const auto metrics = [&](const std::u16string& face) {
    Open(face, c.fnt_mode, probe);
    const std::array<float, 3> m = {GetMaximumAscent(), GetMaximumDecent(), GetMaximumLineGap()};
    FinishText();
    return m;
  };
  const auto want = metrics(Wide(c.face)), got = metrics(ovf);
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[k], want[k], 1.0) << k;
  for (int script : {1, 2}) {
    const auto a = RecordInkBox(Render(Wide(c.face), c.fnt_mode, probe, kUnit, script));
    const auto b = RecordInkBox(Render(ovf, c.fnt_mode, probe, kUnit, script));
    ASSERT_TRUE(a && b);
    EXPECT_NEAR(b->min_y, a->min_y, 3.0) << "script " << script;
    EXPECT_NEAR(b->max_y, a->max_y, 3.0) << "script " << script;
  }
}

// Strokes with arcs kept as arcs and dots, flattened octant arcs, bulges and subshapes of a
// shape font, and a TrueType font.
INSTANTIATE_TEST_SUITE_P(
    Sources, RoundTrip,
    ::testing::Values(
        Case{"hershey", VUZODO_OVF_DATA "/hershey.fnt", 1, u"AB1gO", u""},
        Case{"strokes_arcs", VUZODO_OVF_DATA "/strokes.fnt", 1, u"C.X", u""},
        Case{"strokes_points", VUZODO_OVF_DATA "/strokes.fnt", 2, u"C.X", u""},
        Case{"shapes", VUZODO_SHX_FIXTURES "/shapes.shx", 1, u"\x01\x03\x08\x0b\x0c\x0e\x1e?", u""},
        Case{"liberation", "Liberation Sans", 1, u"Hamburgefonts 019 AVA", u"AHVabefgmnorstu 019"}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// Hershey's "A" is normalised to the unit at conversion: at any unit size "A" is U high.
TEST(ConvertedFonts, ATheUnitSizeTallAtAnyUnitSize) {
  const auto [ovf, fnt] =
      ConvertBoth(Case{"hershey-unit", VUZODO_OVF_DATA "/hershey.fnt", 1, u"A", u""});
  for (float unit : {250.0f, 4096.0f}) {
    for (const std::u16string& face : {ovf, fnt}) {
      const auto box = RecordInkBox(Render(face, 1, u"A", unit));
      EXPECT_TRUE(box && std::abs(box->min_y) <= 0.5 && std::abs(box->max_y - unit) <= 0.5) << unit;
    }
  }
}

// Missing characters and controls are left out; TrueType gives printable Latin-1 it maps.
TEST(ConvertedFonts, MissingCharactersAreLeftOutAndControlsNeverRead) {
  const InterfaceFont font = ReadThroughInterface(
      {.face = Wide(VUZODO_OVF_DATA "/hershey.fnt"), .codes = {9, 10, 'A', 'q', 0x4E00, 'g'}});
  ASSERT_EQ(font.glyphs.size(), 2u);
  EXPECT_TRUE(font.glyphs[0].code == 'A' && font.glyphs[1].code == 'g');
  const InterfaceFont latin = ReadThroughInterface({.face = u"Liberation Sans", .codes = {}});
  EXPECT_GT(latin.glyphs.size(), 180u);
  EXPECT_LE(latin.glyphs.size(), DefaultCodes().size());
  EXPECT_EQ(latin.glyphs.front().code, ' ');
}

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
