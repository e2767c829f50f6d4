// Native glyph outlines: the records follow from the font's own points (golden
// records built from fontTools' reading of the glyphs), the buffer is sized and
// written by the same walk, and the MAT2 transforms what is written.
#include <gtest/gtest.h>

#include <cmath>

#include "PlatformTestSupport.h"

namespace vuzodo::platform::test {
namespace {

constexpr double kPixel26_6 = 1.0 / 64;  // FreeType's outline resolution

const char* TypeName(WORD t) {
  return t == TT_PRIM_LINE      ? "line"
         : t == TT_PRIM_QSPLINE ? "qspline"
         : t == TT_PRIM_CSPLINE ? "cspline"
                                : "?";
}

// The em size of a face in font units (the realized font at any size knows it).
LONG EmOf(const std::u16string& face) {
  FontDc probe(face, 100);
  return static_cast<LONG>(probe.Otm().otmEMSquare);
}

void ExpectSameRecords(const std::vector<Contour>& got, const std::vector<Contour>& want,
                       double tolerance, const std::string& what) {
  ASSERT_EQ(got.size(), want.size()) << what << ": contours";
  for (size_t c = 0; c < want.size(); ++c) {
    EXPECT_NEAR(got[c].start.first, want[c].start.first, tolerance) << what << " contour " << c;
    EXPECT_NEAR(got[c].start.second, want[c].start.second, tolerance) << what << " contour " << c;
    ASSERT_EQ(got[c].records.size(), want[c].records.size()) << what << " contour " << c;
    for (size_t r = 0; r < want[c].records.size(); ++r) {
      const Record& g = got[c].records[r];
      const Record& w = want[c].records[r];
      ASSERT_EQ(g.type, w.type) << what << " contour " << c << " record " << r << " is "
                                << TypeName(g.type) << ", want " << TypeName(w.type);
      ASSERT_EQ(g.points.size(), w.points.size()) << what << " contour " << c << " record " << r;
      for (size_t i = 0; i < w.points.size(); ++i) {
        EXPECT_NEAR(g.points[i].first, w.points[i].first, tolerance)
            << what << " contour " << c << " record " << r << " point " << i;
        EXPECT_NEAR(g.points[i].second, w.points[i].second, tolerance)
            << what << " contour " << c << " record " << r << " point " << i;
      }
    }
  }
}

// At one pixel per font unit the records are the font's points themselves:
// Liberation Sans (quadratic), FreeSans (cubic, CFF) and the fixture whose
// contours start with control points or hold a single point.
TEST(NativeOutline, RecordsFollowTheFontsPointsAtOnePixelPerUnit) {
  const auto golden = ReadGoldenOutlines();
  ASSERT_GE(golden.size(), 13u);
  for (const GoldenGlyph& g : golden) {
    const std::u16string face = U16(g.path);
    FontDc font(face, -EmOf(face));
    const std::string what = g.path + " U+" + std::to_string(g.code);
    ExpectSameRecords(ParseNative(font.Native(g.code, Identity())), g.contours, kPixel26_6, what);
  }
}

TEST(NativeOutline, LetterOHasTwoQuadraticContours) {
  FontDc font(u"Liberation Sans", -2048);
  const auto contours = ParseNative(font.Native('O', Identity()));
  ASSERT_EQ(contours.size(), 2u);
  for (const Contour& c : contours) {
    for (const Record& r : c.records) {
      EXPECT_EQ(r.type, TT_PRIM_QSPLINE);
      EXPECT_GE(r.points.size(), 2u);
    }
    // Each contour closes: its last spline ends where it started.
    EXPECT_EQ(c.records.back().points.back(), c.start);
  }
}

TEST(NativeOutline, CffFontGivesCubicRecordsInThrees) {
  FontDc font(u"/usr/share/fonts/opentype/freefont/FreeSans.otf", -1000);
  int cubic = 0;
  for (UINT code : {u'O', u'S', u'e', u'8'}) {
    for (const Contour& c : ParseNative(font.Native(code, Identity()))) {
      for (const Record& r : c.records) {
        EXPECT_NE(r.type, TT_PRIM_QSPLINE);
        if (r.type == TT_PRIM_CSPLINE) {
          ++cubic;
          EXPECT_EQ(r.points.size() % 3, 0u);
        }
      }
    }
  }
  EXPECT_GT(cubic, 4);
}

TEST(NativeOutline, SpaceHasNoOutlineButAnAdvance) {
  FontDc font(u"Liberation Sans", -2048);
  GLYPHMETRICS gm{};
  const MAT2 m = Identity();
  EXPECT_EQ(GetGlyphOutlineW(font.dc(), ' ', GGO_NATIVE, &gm, 0, nullptr, &m), 0u);
  EXPECT_EQ(gm.gmCellIncX, 569);  // hmtx advance of "space" in Liberation Sans
  EXPECT_EQ(gm.gmCellIncY, 0);
  EXPECT_EQ(gm.gmBlackBoxX, 1u);
  EXPECT_EQ(gm.gmBlackBoxY, 1u);
}

// The size query and the write are one walk: for every Latin-1 character of a
// quadratic and a cubic font the sizes agree and the written records fill the
// buffer exactly (ParseNative checks every cb and count).
TEST(NativeOutline, SizeQueryEqualsBytesWrittenForLatin1) {
  for (const char16_t* face :
       {u"Liberation Sans", u"/usr/share/fonts/opentype/freefont/FreeSans.otf"}) {
    FontDc font(face, 10000);
    for (UINT code = 0x20; code <= 0xFF; ++code) {
      const auto buffer = font.Native(code, Identity());
      size_t bytes = 0;
      for (const Contour& c : ParseNative(buffer)) {
        bytes += sizeof(TTPOLYGONHEADER);
        for (const Record& r : c.records) bytes += 4 + r.points.size() * sizeof(POINTFX);
      }
      EXPECT_EQ(bytes, buffer.size()) << "code " << code;
    }
  }
}

TEST(NativeOutline, TooSmallBufferIsRefusedUntouched) {
  FontDc font(u"Liberation Sans", 10000);
  GLYPHMETRICS gm{};
  const MAT2 m = Identity();
  const DWORD size = GetGlyphOutlineW(font.dc(), 'A', GGO_NATIVE, &gm, 0, nullptr, &m);
  ASSERT_GT(size, 0u);
  ASSERT_NE(size, GDI_ERROR);
  std::vector<std::uint8_t> buffer(size, 0xAB);
  EXPECT_EQ(GetGlyphOutlineW(font.dc(), 'A', GGO_NATIVE, &gm, size - 1, buffer.data(), &m),
            GDI_ERROR);
  for (std::uint8_t b : buffer) ASSERT_EQ(b, 0xAB);
}

// The MAT2 maps every written point: x' = eM11 x + eM21 y, y' = eM12 x + eM22 y.
TEST(NativeOutline, Mat2TransformsEveryPoint) {
  FontDc font(u"Liberation Sans", -2048);
  const auto plain = ParseNative(font.Native('R', Identity()));
  struct Case {
    double m11, m12, m21, m22;
  };
  // Scale, shear, and the near-identity matrix the font code passes (1/65536
  // added to every entry).
  const double e = 1.0 / 65536;
  for (const Case& k : {Case{2, 0, 0, 0.5}, Case{1, 0, 0.25, 1}, Case{1 + e, e, e, 1 + e}}) {
    const auto got = ParseNative(font.Native('R', MakeMat2(k.m11, k.m12, k.m21, k.m22)));
    auto want = plain;
    auto map = [&](std::pair<double, double>& p) {
      p = {k.m11 * p.first + k.m21 * p.second, k.m12 * p.first + k.m22 * p.second};
    };
    for (Contour& c : want) {
      map(c.start);
      for (Record& r : c.records) {
        for (auto& p : r.points) map(p);
      }
    }
    ExpectSameRecords(got, want, 2 * kPixel26_6, "R under MAT2");
  }
}

}  // namespace
}  // namespace vuzodo::platform::test

namespace vuzodo::platform::test {
namespace {

// A size query followed by a write for another code, another matrix or another
// font answers for what was asked, not for the previous request.
TEST(NativeOutline, InterleavedRequestsAreIndependent) {
  FontDc font(u"Liberation Sans", -2048);
  FontDc other(u"Carlito", -2048);
  const MAT2 plain = Identity(), wide = MakeMat2(2, 0, 0, 1);
  const auto a = font.Native('A', plain), o = font.Native('O', plain);
  const auto a_wide = font.Native('A', wide);
  const auto carlito_a = other.Native('A', plain);
  ASSERT_NE(a, o);
  ASSERT_NE(a, a_wide);
  ASSERT_NE(a, carlito_a);
  GLYPHMETRICS gm{};
  std::vector<std::uint8_t> buffer(4096);
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(GetGlyphOutlineW(font.dc(), 'A', GGO_NATIVE, &gm, 0, nullptr, &plain), a.size());
    EXPECT_EQ(GetGlyphOutlineW(other.dc(), 'A', GGO_NATIVE, &gm, 0, nullptr, &plain),
              carlito_a.size());
    DWORD n = GetGlyphOutlineW(font.dc(), 'O', GGO_NATIVE, &gm, 4096, buffer.data(), &plain);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + n), o);
    n = GetGlyphOutlineW(font.dc(), 'A', GGO_NATIVE, &gm, 4096, buffer.data(), &wide);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + n), a_wide);
    n = GetGlyphOutlineW(font.dc(), 'A', GGO_NATIVE, &gm, 4096, buffer.data(), &plain);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + n), a);
  }
}

}  // namespace
}  // namespace vuzodo::platform::test
