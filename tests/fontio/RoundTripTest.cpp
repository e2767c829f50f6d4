// A font read through the C interface and written as OVF or FNT draws the source's text with the
// source's geometry: symmetric Hausdorff distance within 2 units at unit 1000 over segments (arcs
// in half-degree pieces), dots paired, lengths equal; FNT is normalised on its "A" when loaded.
#include <gtest/gtest.h>

#include <algorithm>
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

std::optional<InkBox> Ink(const std::u16string& face, int mode, std::u16string text,
                          float unit = kUnit, int script = 0) {
  return RecordInkBox(Render(face, mode, std::move(text), unit, script));
}

struct Segment {
  double x0, y0, x1, y1;
};
struct Drawing {
  std::vector<Segment> segments;
  std::vector<std::pair<double, double>> dots;
  double length = 0;
};

// Arcs go the shorter way from the pen to the end about the centre.
Drawing Draw(const std::vector<int>& r, double scale = 1.0) {
  Drawing d;
  double x = 0, y = 0;
  const auto add = [&](double x0, double y0, double x1, double y1) {
    d.segments.push_back({x0 * scale, y0 * scale, x1 * scale, y1 * scale});
    d.length += std::hypot(x1 - x0, y1 - y0) * scale;
  };
  for (std::size_t p = 0; p + 2 < r.size(); p += r[p] == 42 ? 5 : 3) {
    const double nx = x + r[p + 1], ny = y + r[p + 2];
    if (r[p] == 41) add(x, y, nx, ny);
    if (r[p] == 466) d.dots.emplace_back(nx * scale, ny * scale);
    if (r[p] == 42) {
      const double cx = x + r[p + 3], cy = y + r[p + 4];
      const double a0 = std::atan2(y - cy, x - cx), radius = std::hypot(x - cx, y - cy);
      const double sweep = std::remainder(std::atan2(ny - cy, nx - cx) - a0, 2 * std::numbers::pi);
      const int pieces = 1 + static_cast<int>(std::fabs(sweep) / (std::numbers::pi / 360));
      double px = x, py = y;
      for (int k = 1; k <= pieces; ++k) {
        const double a = a0 + sweep * k / pieces;
        const double qx = k == pieces ? nx : cx + radius * std::cos(a);
        const double qy = k == pieces ? ny : cy + radius * std::sin(a);
        add(px, py, qx, qy);
        px = qx, py = qy;
      }
    }
    x = nx, y = ny;
  }
  return d;
}

// Largest distance from a point of `a` (every 8 units along its segments) to `b`.
double DirectedHausdorff(const Drawing& a, const Drawing& b) {
  double worst = 0;
  for (const Segment& s : a.segments) {
    const int steps = 1 + static_cast<int>(std::hypot(s.x1 - s.x0, s.y1 - s.y0) / 8);
    for (int k = 0; k <= steps; ++k) {
      const double px = s.x0 + (s.x1 - s.x0) * k / steps, py = s.y0 + (s.y1 - s.y0) * k / steps;
      double best = 1e300;
      for (const Segment& t : b.segments) {
        const double dx = t.x1 - t.x0, dy = t.y1 - t.y0, len2 = dx * dx + dy * dy;
        const double u =
            len2 > 0 ? std::clamp(((px - t.x0) * dx + (py - t.y0) * dy) / len2, 0.0, 1.0) : 0;
        best = std::min(best, std::hypot(px - (t.x0 + u * dx), py - (t.y0 + u * dy)));
      }
      worst = std::max(worst, best);
    }
  }
  return worst;
}

void ExpectSameDrawing(const Drawing& source, const Drawing& converted, const std::string& what) {
  ASSERT_FALSE(source.segments.empty()) << what;
  ASSERT_FALSE(converted.segments.empty()) << what;
  EXPECT_LE(DirectedHausdorff(source, converted), 2.0) << what;
  EXPECT_LE(DirectedHausdorff(converted, source), 2.0) << what;
  EXPECT_NEAR(converted.length, source.length, 0.002 * source.length) << what;
  ASSERT_EQ(converted.dots.size(), source.dots.size()) << what;
  for (const auto& [x, y] : source.dots) {
    EXPECT_TRUE(std::any_of(converted.dots.begin(), converted.dots.end(),
                            [&](auto& d) { return std::hypot(d.first - x, d.second - y) <= 2.0; }))
        << what << " dot " << x << "," << y;
  }
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

struct Converted {
  std::u16string ovf, fnt;
  InterfaceFont font;
};

// One set of files per test: ctest runs the tests of this file in parallel.
Converted ConvertBoth(const Case& c) {
  ReadOptions options;
  options.face = Wide(c.face);
  options.fnt_mode = c.fnt_mode;
  options.unit = kUnit;
  options.codes.assign(c.codes.begin(), c.codes.end());
  Converted out;
  out.font = ReadThroughInterface(options);
  std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  std::replace(test.begin(), test.end(), '/', '-');
  const std::string base = std::string(VUZODO_FONTIO_OUT) + "/" + test + "-" + c.name;
  const auto ovf = WriteOvf(MakeOvfFont(out.font, u"RoundTrip", u"Regular"));
  std::ofstream(base + ".ovf", std::ios::binary)
      .write(reinterpret_cast<const char*>(ovf.data()), static_cast<std::streamsize>(ovf.size()));
  std::ofstream(base + ".fnt") << WriteFnt(out.font.glyphs);
  out.ovf = Wide(base + ".ovf");
  out.fnt = Wide(base + ".fnt");
  return out;
}

class RoundTrip : public ::testing::TestWithParam<Case> {};

// Line metrics come back at most one unit apart (a float round trip); scripts sit alike.
TEST_P(RoundTrip, ConvertedFontsDrawTheSourceText) {
  const Case& c = GetParam();
  const Converted converted = ConvertBoth(c);
  ASSERT_FALSE(converted.font.glyphs.empty());
  const std::vector<int> source = Render(Wide(c.face), c.fnt_mode, c.text);
  ExpectSameDrawing(Draw(source), Draw(Render(converted.ovf, c.fnt_mode, c.text)),
                    std::string(c.name) + " as OVF");
  const bool has_a = std::any_of(converted.font.glyphs.begin(), converted.font.glyphs.end(),
                                 [](const RecordGlyph& g) { return g.code == 'A'; });
  const double scale = has_a ? kUnit / Ink(Wide(c.face), c.fnt_mode, u"A")->max_y : 1.0;
  ExpectSameDrawing(Draw(source, scale), Draw(Render(converted.fnt, c.fnt_mode, c.text)),
                    std::string(c.name) + " as FNT");
  const std::u16string probe = c.text.substr(0, 1);
  float metrics[2][3];
  for (int i = 0; i < 2; ++i) {
    Open(i == 0 ? Wide(c.face) : converted.ovf, c.fnt_mode, probe);
    metrics[i][0] = GetMaximumAscent();
    metrics[i][1] = GetMaximumDecent();
    metrics[i][2] = GetMaximumLineGap();
    FinishText();
  }
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(metrics[1][k], metrics[0][k], 1.0) << k;
  for (int script : {1, 2}) {
    const auto a = Ink(Wide(c.face), c.fnt_mode, probe, kUnit, script);
    const auto b = Ink(converted.ovf, c.fnt_mode, probe, kUnit, script);
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
  const Converted converted =
      ConvertBoth(Case{"hershey-unit", VUZODO_OVF_DATA "/hershey.fnt", 1, u"A", u""});
  for (float unit : {250.0f, 4096.0f}) {
    for (const std::u16string& face : {converted.ovf, converted.fnt}) {
      const auto box = Ink(face, 1, u"A", unit);
      EXPECT_TRUE(box && std::abs(box->min_y) <= 0.5 && std::abs(box->max_y - unit) <= 0.5) << unit;
    }
  }
}

// Missing characters and controls are left out; TrueType gives printable Latin-1 it maps.
TEST(ConvertedFonts, MissingCharactersAreLeftOutAndControlsNeverRead) {
  ReadOptions options;
  options.face = Wide(VUZODO_OVF_DATA "/hershey.fnt");
  options.codes = {9, 10, 'A', 'q', 0x4E00, 'g'};
  const InterfaceFont font = ReadThroughInterface(options);
  ASSERT_EQ(font.glyphs.size(), 2u);
  EXPECT_TRUE(font.glyphs[0].code == 'A' && font.glyphs[1].code == 'g');
  options.face = u"Liberation Sans";
  options.codes.clear();
  const InterfaceFont latin = ReadThroughInterface(options);
  EXPECT_GT(latin.glyphs.size(), 180u);
  EXPECT_LE(latin.glyphs.size(), DefaultCodes().size());
  EXPECT_EQ(latin.glyphs.front().code, ' ');
}

}  // namespace
