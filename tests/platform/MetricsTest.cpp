// Glyph metrics, text metrics and outline text metrics against the font
// tables (golden/metrics.txt, read with fontTools), scaled the way GDI scales
// them: font units × ppem ÷ em, rounded to the nearest pixel.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "PlatformTestSupport.h"

namespace vuzodo::platform::test {
namespace {

// ppem for an lfHeight: a negative height is the em, a positive one the cell
// usWinAscent + usWinDescent.
long PpemFor(const GoldenFont& f, LONG height) {
  if (height < 0) return -height;
  return MulDiv(f.values.at("upem"), height, f.values.at("winAscent") + f.values.at("winDescent"));
}

TEST(GlyphMetrics, AtOnePixelPerUnitTheyAreTheFontsOwnNumbers) {
  for (const GoldenFont& f : ReadGoldenMetrics()) {
    FontDc font(U16(f.path), -static_cast<LONG>(f.values.at("upem")));
    for (const GoldenGlyphBox& g : f.glyphs) {
      GLYPHMETRICS gm{};
      const MAT2 m = Identity();
      const DWORD size = GetGlyphOutlineW(font.dc(), g.code, GGO_NATIVE, &gm, 0, nullptr, &m);
      SCOPED_TRACE(f.path + " U+" + std::to_string(g.code));
      EXPECT_EQ(gm.gmCellIncX, g.advance);
      EXPECT_EQ(gm.gmCellIncY, 0);
      if (g.empty) {
        EXPECT_EQ(size, 0u);
        continue;
      }
      EXPECT_EQ(gm.gmBlackBoxX, static_cast<UINT>(std::ceil(g.x_max) - std::floor(g.x_min)));
      EXPECT_EQ(gm.gmBlackBoxY, static_cast<UINT>(std::ceil(g.y_max) - std::floor(g.y_min)));
      EXPECT_EQ(gm.gmptGlyphOrigin.x, std::floor(g.x_min));
      EXPECT_EQ(gm.gmptGlyphOrigin.y, std::ceil(g.y_max));
    }
  }
}

// Under a MAT2 the black box is the transformed outline's box grown to whole
// pixels and the advance is transformed with it.
TEST(GlyphMetrics, FollowTheMat2) {
  for (const GoldenFont& f : ReadGoldenMetrics()) {
    FontDc font(U16(f.path), -static_cast<LONG>(f.values.at("upem")));
    for (const GoldenGlyphBox& g : f.glyphs) {
      if (g.empty) continue;
      GLYPHMETRICS gm{};
      const MAT2 m = MakeMat2(2, 0, 0, 0.5);
      ASSERT_NE(GetGlyphOutlineW(font.dc(), g.code, GGO_METRICS, &gm, 0, nullptr, &m), GDI_ERROR);
      SCOPED_TRACE(f.path + " U+" + std::to_string(g.code));
      EXPECT_EQ(gm.gmCellIncX, 2 * g.advance);
      EXPECT_EQ(gm.gmBlackBoxX,
                static_cast<UINT>(std::ceil(2 * g.x_max) - std::floor(2 * g.x_min)));
      EXPECT_EQ(gm.gmBlackBoxY,
                static_cast<UINT>(std::ceil(0.5 * g.y_max) - std::floor(0.5 * g.y_min)));
      EXPECT_EQ(gm.gmptGlyphOrigin.y, std::ceil(0.5 * g.y_max));
    }
  }
}

TEST(GlyphMetrics, AtTheCellHeightTheyAreScaledAndRounded) {
  for (const GoldenFont& f : ReadGoldenMetrics()) {
    FontDc font(U16(f.path), 10000);
    const double scale = static_cast<double>(PpemFor(f, 10000)) / f.values.at("upem");
    for (const GoldenGlyphBox& g : f.glyphs) {
      GLYPHMETRICS gm{};
      const MAT2 m = Identity();
      ASSERT_NE(GetGlyphOutlineW(font.dc(), g.code, GGO_METRICS, &gm, 0, nullptr, &m), GDI_ERROR);
      SCOPED_TRACE(f.path + " U+" + std::to_string(g.code));
      EXPECT_NEAR(gm.gmCellIncX, g.advance * scale, 0.5 + 1e-9);
      if (g.empty) continue;
      // The outline is at 1/64 pixel; a box edge may round across a pixel.
      EXPECT_NEAR(gm.gmptGlyphOrigin.x, std::floor(g.x_min * scale), 1);
      EXPECT_NEAR(gm.gmptGlyphOrigin.y, std::ceil(g.y_max * scale), 1);
      EXPECT_NEAR(gm.gmBlackBoxX, std::ceil(g.x_max * scale) - std::floor(g.x_min * scale), 1);
      EXPECT_NEAR(gm.gmBlackBoxY, std::ceil(g.y_max * scale) - std::floor(g.y_min * scale), 1);
    }
  }
}

TEST(TextMetrics, MatchTheFontTables) {
  for (const GoldenFont& f : ReadGoldenMetrics()) {
    for (LONG height : {10000, -1000, 16}) {
      SCOPED_TRACE(f.path + " height " + std::to_string(height));
      FontDc font(U16(f.path), height);
      const auto& v = f.values;
      const long upem = v.at("upem"), ppem = PpemFor(f, height);
      auto scaled = [&](const char* key) { return MulDiv(v.at(key), ppem, upem); };
      const TEXTMETRICW tm = font.Tm();
      EXPECT_EQ(tm.tmAscent, scaled("winAscent"));
      EXPECT_EQ(tm.tmDescent, scaled("winDescent"));
      EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
      if (height > 0) {
        EXPECT_NEAR(tm.tmHeight, height, 1);  // the cell height asked for
      }
      EXPECT_EQ(tm.tmInternalLeading, tm.tmHeight - ppem);
      const long gap = v.at("hheaLineGap") - ((v.at("winAscent") + v.at("winDescent")) -
                                              (v.at("hheaAscender") - v.at("hheaDescender")));
      EXPECT_EQ(tm.tmExternalLeading, std::max(0L, MulDiv(gap, ppem, upem)));
      EXPECT_EQ(tm.tmAveCharWidth, std::max(1L, scaled("xAvgCharWidth")));
      EXPECT_EQ(tm.tmMaxCharWidth, MulDiv(v.at("headXMax") - v.at("headXMin"), ppem, upem));
      EXPECT_EQ(tm.tmWeight, v.at("weightClass"));
      EXPECT_EQ(tm.tmItalic, 0);
      EXPECT_TRUE(tm.tmPitchAndFamily & TMPF_VECTOR);

      const OUTLINETEXTMETRICW otm = font.Otm();
      EXPECT_EQ(std::memcmp(&otm.otmTextMetrics, &tm, sizeof(tm)), 0);
      EXPECT_EQ(otm.otmEMSquare, static_cast<UINT>(upem));
      EXPECT_EQ(otm.otmAscent, scaled("typoAscender"));
      EXPECT_EQ(otm.otmDescent, scaled("typoDescender"));
      EXPECT_EQ(static_cast<long>(otm.otmLineGap), scaled("typoLineGap"));
      EXPECT_EQ(static_cast<long>(otm.otmsCapEmHeight), scaled("capHeight"));
      EXPECT_EQ(static_cast<long>(otm.otmsXHeight), scaled("xHeight"));
      EXPECT_EQ(otm.otmrcFontBox.left, scaled("headXMin"));
      EXPECT_EQ(otm.otmrcFontBox.top, scaled("headYMax"));
      EXPECT_EQ(otm.otmrcFontBox.right, scaled("headXMax"));
      EXPECT_EQ(otm.otmrcFontBox.bottom, scaled("headYMin"));
      EXPECT_EQ(otm.otmMacAscent, tm.tmAscent);
      EXPECT_EQ(otm.otmMacDescent, -tm.tmDescent);
      EXPECT_EQ(static_cast<long>(otm.otmMacLineGap), scaled("hheaLineGap"));
      EXPECT_EQ(otm.otmptSubscriptSize.x, scaled("subscriptXSize"));
      EXPECT_EQ(otm.otmptSubscriptSize.y, scaled("subscriptYSize"));
      EXPECT_EQ(otm.otmptSubscriptOffset.x, scaled("subscriptXOffset"));
      EXPECT_EQ(otm.otmptSubscriptOffset.y, scaled("subscriptYOffset"));
      EXPECT_EQ(otm.otmptSuperscriptSize.x, scaled("superscriptXSize"));
      EXPECT_EQ(otm.otmptSuperscriptSize.y, scaled("superscriptYSize"));
      EXPECT_EQ(otm.otmptSuperscriptOffset.x, scaled("superscriptXOffset"));
      EXPECT_EQ(otm.otmptSuperscriptOffset.y, scaled("superscriptYOffset"));
      EXPECT_EQ(static_cast<long>(otm.otmsStrikeoutSize), scaled("strikeoutSize"));
      EXPECT_EQ(otm.otmsStrikeoutPosition, scaled("strikeoutPosition"));
      EXPECT_EQ(otm.otmsUnderscoreSize, scaled("underlineThickness"));
      EXPECT_EQ(otm.otmsUnderscorePosition, scaled("underlinePosition"));
      EXPECT_EQ(otm.otmItalicAngle, v.at("italicAngleTenths"));
    }
  }
}

// The whole answer is the structure followed by four names; a caller that
// passes the size of the structure alone gets the structure filled.
TEST(TextMetrics, OutlineTextMetricsSizeAndShortBuffers) {
  FontDc font(u"Liberation Sans", 10000);
  const UINT whole = GetOutlineTextMetricsW(font.dc(), 0, nullptr);
  EXPECT_GT(whole, sizeof(OUTLINETEXTMETRICW));
  const OUTLINETEXTMETRICW otm = font.Otm();
  EXPECT_EQ(otm.otmSize, whole);
  EXPECT_EQ(font.Family(), u"Liberation Sans");
  EXPECT_EQ(font.Style(), u"Regular");
  std::vector<std::uint8_t> small(8, 0xAB);
  EXPECT_EQ(
      GetOutlineTextMetricsW(font.dc(), 4, reinterpret_cast<OUTLINETEXTMETRICW*>(small.data())),
      4u);
  EXPECT_EQ(small[4], 0xAB);
}

}  // namespace
}  // namespace vuzodo::platform::test
