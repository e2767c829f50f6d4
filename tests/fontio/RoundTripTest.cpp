// Round trips through the converter: a font read through the C interface and written as OVF or
// FNT must render, through the same interface, the same text with the same geometry as the
// font it came from.
//
// Geometry is compared as drawn, not record by record: every draw and arc (arcs sampled
// finely) becomes a set of segments, and the symmetric Hausdorff distance between the two
// drawings must stay within a few record units, the dots must pair up, and the drawn lengths
// must agree. An arc may come back split at another point, or a run closed by its flag instead
// of a repeated point, without that counting as a difference.
//
// Tolerance, at unit size 1000: 2 units. The converted font holds the source's integer record
// positions (OVF divides them by the unit into single precision, FNT keeps them), so the
// re-rendered positions round back to the same integers; an arc's end is re-derived from its
// centre, radius and angles, which moves it by at most a unit. An FNT font is normalised on
// its own "A" when it is loaded: when the source's "A" is not exactly the unit high (a
// TrueType font's design height is truncated), the source drawing is scaled by unit / its "A"
// height before comparing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <ostream>
#include <string>

#include "FntWriter.h"
#include "InterfaceFont.h"
#include "OvfWriter.h"
#include "vuzodo/vuzodo.h"

using namespace vuzodo_fontio;

namespace {

constexpr float kUnit = 1000.0f;

struct Segment {
  double x0, y0, x1, y1;
};

struct Drawing {
  std::vector<Segment> segments;
  std::vector<std::pair<double, double>> dots;
  double length = 0;
};

std::u16string Wide(const std::string& s) {
  return std::u16string(s.begin(), s.end());
}
unsigned short* U16(std::u16string& s) {
  return reinterpret_cast<unsigned short*>(s.data());
}

// The records of a whole text, laid out with the default settings.
std::vector<int> RenderText(const std::u16string& face, int fnt_mode, std::u16string text,
                            float unit = kUnit, int script = 0) {
  InitializeTTF(unit);
  SetDefaults();
  SetFNTConversionMode(static_cast<EN_FNT_ConvertionStyle>(fnt_mode));
  std::u16string f = face;
  SetFontFace(U16(f));
  if (script == 1) SetModeSubscript();
  if (script == 2) SetModeSuperscript();
  AppendCharactersEx(U16(text));
  int* data = nullptr;
  const int count = GetOutLinesEx(-1, EN_RT_BORDER, &data, nullptr);
  std::vector<int> out;
  // Walk record by record: -1 ends the array only where a code is due.
  for (int p = 0; p < count && data[p] != -1;) {
    const int length = data[p] == 42 ? 5 : 3;
    out.insert(out.end(), data + p, data + std::min(p + length, count));
    p += length;
  }
  DeleteTTFData(data);
  FinishText();
  return out;
}

// Segments of everything drawn, scaled by `scale` about the origin. Arcs (the shorter way from
// the pen to the end about the centre) are cut into pieces of at most half a degree.
Drawing Draw(const std::vector<int>& r, double scale = 1.0) {
  Drawing d;
  double x = 0, y = 0;
  const auto add = [&](double x0, double y0, double x1, double y1) {
    d.segments.push_back({x0 * scale, y0 * scale, x1 * scale, y1 * scale});
    d.length += std::hypot(x1 - x0, y1 - y0) * scale;
  };
  for (std::size_t p = 0; p + 2 < r.size();) {
    const int code = r[p];
    const double nx = x + r[p + 1], ny = y + r[p + 2];
    if (code == 41) add(x, y, nx, ny);
    if (code == 466) d.dots.emplace_back(nx * scale, ny * scale);
    if (code == 42) {
      const double cx = x + r[p + 3], cy = y + r[p + 4];
      const double a0 = std::atan2(y - cy, x - cx), radius = std::hypot(x - cx, y - cy);
      double sweep = std::atan2(ny - cy, nx - cx) - a0;
      if (sweep > std::numbers::pi) sweep -= 2 * std::numbers::pi;
      if (sweep < -std::numbers::pi) sweep += 2 * std::numbers::pi;
      const int pieces = 1 + static_cast<int>(std::fabs(sweep) / (std::numbers::pi / 360));
      double px = x, py = y;
      for (int k = 1; k <= pieces; ++k) {
        const double a = a0 + sweep * k / pieces;
        const double qx = k == pieces ? nx : cx + radius * std::cos(a);
        const double qy = k == pieces ? ny : cy + radius * std::sin(a);
        add(px, py, qx, qy);
        px = qx;
        py = qy;
      }
    }
    x = nx;
    y = ny;
    p += code == 42 ? 5 : 3;
  }
  return d;
}

double PointSegment(double px, double py, const Segment& s) {
  const double dx = s.x1 - s.x0, dy = s.y1 - s.y0, len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((px - s.x0) * dx + (py - s.y0) * dy) / len2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(px - (s.x0 + t * dx), py - (s.y0 + t * dy));
}

// Largest distance from a point of `a` (sampled every 8 units along its segments) to `b`.
double DirectedHausdorff(const Drawing& a, const Drawing& b) {
  double worst = 0;
  for (const Segment& s : a.segments) {
    const int steps = 1 + static_cast<int>(std::hypot(s.x1 - s.x0, s.y1 - s.y0) / 8);
    for (int k = 0; k <= steps; ++k) {
      const double px = s.x0 + (s.x1 - s.x0) * k / steps, py = s.y0 + (s.y1 - s.y0) * k / steps;
      double best = 1e300;
      for (const Segment& t : b.segments) best = std::min(best, PointSegment(px, py, t));
      worst = std::max(worst, best);
    }
  }
  return worst;
}

void ExpectSameDrawing(const Drawing& source, const Drawing& converted, double tolerance,
                       const std::string& what) {
  ASSERT_FALSE(source.segments.empty()) << what;
  ASSERT_FALSE(converted.segments.empty()) << what;
  EXPECT_LE(DirectedHausdorff(source, converted), tolerance) << what;
  EXPECT_LE(DirectedHausdorff(converted, source), tolerance) << what;
  EXPECT_NEAR(converted.length, source.length, 0.002 * source.length) << what;
  ASSERT_EQ(converted.dots.size(), source.dots.size()) << what;
  for (const auto& [x, y] : source.dots) {
    const bool paired = std::any_of(converted.dots.begin(), converted.dots.end(), [&](auto& d) {
      return std::hypot(d.first - x, d.second - y) <= tolerance;
    });
    EXPECT_TRUE(paired) << what << " dot " << x << "," << y;
  }
}

std::optional<InkBox> InkOf(const std::u16string& face, int mode, std::u16string text,
                            float unit = kUnit, int script = 0) {
  return RecordInkBox(RenderText(face, mode, std::move(text), unit, script));
}

struct Case {
  const char* name;
  std::string face;
  int fnt_mode;
  std::u16string text;
  std::vector<int> codes;  // empty: the font's own list
};

struct Converted {
  std::u16string ovf, fnt;
  InterfaceFont font;
};

Converted ConvertBoth(const Case& c) {
  ReadOptions options;
  options.face = Wide(c.face);
  options.fnt_mode = c.fnt_mode;
  options.unit = kUnit;
  options.codes = c.codes;
  Converted out;
  out.font = ReadThroughInterface(options);
  // One set of files per test: ctest runs the tests of this file in parallel.
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

TEST_P(RoundTrip, ConvertedFontsDrawTheSourceText) {
  const Case& c = GetParam();
  const std::u16string face = Wide(c.face);
  const Converted converted = ConvertBoth(c);
  ASSERT_FALSE(converted.font.glyphs.empty());

  const std::vector<int> source = RenderText(face, c.fnt_mode, c.text);
  ExpectSameDrawing(Draw(source), Draw(RenderText(converted.ovf, c.fnt_mode, c.text)), 2.0,
                    std::string(c.name) + " as OVF");

  double scale = 1.0;
  const bool has_a = std::any_of(converted.font.glyphs.begin(), converted.font.glyphs.end(),
                                 [](const RecordGlyph& g) { return g.code == 'A'; });
  if (has_a) scale = kUnit / InkOf(face, c.fnt_mode, u"A")->max_y;
  ExpectSameDrawing(Draw(source, scale), Draw(RenderText(converted.fnt, c.fnt_mode, c.text)), 2.0,
                    std::string(c.name) + " as FNT");
}

TEST_P(RoundTrip, OvfKeepsLineMetricsAndScriptPlacement) {
  const Case& c = GetParam();
  const std::u16string face = Wide(c.face);
  const Converted converted = ConvertBoth(c);
  const std::u16string probe = c.text.substr(0, 1);

  float metrics[2][3];
  for (int i = 0; i < 2; ++i) {
    InitializeTTF(kUnit);
    SetDefaults();
    SetFNTConversionMode(static_cast<EN_FNT_ConvertionStyle>(c.fnt_mode));
    std::u16string f = i == 0 ? face : converted.ovf, text = probe;
    SetFontFace(U16(f));
    AppendCharactersEx(U16(text));
    metrics[i][0] = GetMaximumAscent();
    metrics[i][1] = GetMaximumDecent();
    metrics[i][2] = GetMaximumLineGap();
    FinishText();
  }
  // The converted metrics are the source's divided by the unit in single precision and
  // multiplied back, then truncated: at most one unit apart.
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(metrics[1][k], metrics[0][k], 1.0) << k;

  for (int script : {1, 2}) {
    const auto a = InkOf(face, c.fnt_mode, probe, kUnit, script);
    const auto b = InkOf(converted.ovf, c.fnt_mode, probe, kUnit, script);
    ASSERT_TRUE(a && b);
    EXPECT_NEAR(b->min_y, a->min_y, 3.0) << "script " << script;
    EXPECT_NEAR(b->max_y, a->max_y, 3.0) << "script " << script;
  }
}

// Readable test names and failure messages instead of the parameter's bytes.
void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Sources, RoundTrip,
    ::testing::Values(Case{"hershey", VUZODO_OVF_DATA "/hershey.fnt", 1, u"AB1gO", {}},
                      // Arcs kept as arcs, and dots.
                      Case{"strokes-arcs", VUZODO_OVF_DATA "/strokes.fnt", 1, u"C.X", {}},
                      Case{"strokes-points", VUZODO_OVF_DATA "/strokes.fnt", 2, u"C.X", {}},
                      // Flattened octant arcs, bulges and subshapes of a shape font.
                      Case{"shapes",
                           VUZODO_SHX_FIXTURES "/shapes.shx",
                           1,
                           {u'\x01', u'\x03', u'\x08', u'\x0b', u'\x0c', u'\x0e', u'\x1e', u'?'},
                           {}},
                      Case{"liberation",
                           "Liberation Sans",
                           1,
                           u"Hamburgefonts 019 AVA",
                           {'A', 'H', 'V', 'a', 'b', 'e', 'f', 'g', 'm', 'n', 'o', 'r', 's', 't',
                            'u', ' ', '0', '1', '9'}}),
    [](const ::testing::TestParamInfo<Case>& info) {
      std::string name = info.param.name;
      std::replace(name.begin(), name.end(), '-', '_');
      return name;
    });

TEST(ConvertedFonts, ATheUnitSizeTallAtAnyUnitSize) {
  // Hershey's "A" is normalised to the unit at conversion, so the OVF font has "A" exactly as
  // high as its height field h0 (shape scale U / h0), and the FNT font is normalised on its "A"
  // again when loaded. At unit sizes other than the conversion's, "A" is U high.
  const Converted converted =
      ConvertBoth(Case{"hershey-unit", VUZODO_OVF_DATA "/hershey.fnt", 1, u"A", {}});
  for (float unit : {250.0f, 1000.0f, 4096.0f}) {
    for (const std::u16string& face : {converted.ovf, converted.fnt}) {
      const auto box = InkOf(face, 1, u"A", unit);
      ASSERT_TRUE(box.has_value());
      EXPECT_NEAR(box->min_y, 0.0, 0.5) << unit;
      EXPECT_NEAR(box->max_y, unit, 0.5) << unit;
    }
  }
}

TEST(ConvertedFonts, MissingCharactersAreLeftOutAndControlsNeverRead) {
  ReadOptions options;
  options.face = Wide(VUZODO_OVF_DATA "/hershey.fnt");
  options.codes = {9, 10, 'A', 'q', 0x4E00, 'g'};
  const InterfaceFont font = ReadThroughInterface(options);
  ASSERT_EQ(font.glyphs.size(), 2u);
  EXPECT_EQ(font.glyphs[0].code, 'A');
  EXPECT_EQ(font.glyphs[1].code, 'g');
  // A TrueType font builds characters on demand and lists none: printable Latin-1 by default,
  // less the codes it does not map.
  options.face = u"Liberation Sans";
  options.codes.clear();
  const InterfaceFont latin = ReadThroughInterface(options);
  EXPECT_GT(latin.glyphs.size(), 180u);
  EXPECT_LE(latin.glyphs.size(), DefaultCodes().size());
  EXPECT_EQ(latin.glyphs.front().code, ' ');
}

}  // namespace
