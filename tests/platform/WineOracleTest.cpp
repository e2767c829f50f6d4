// The same calls as tests/platform/oracle/gdi_probe.cpp, formatted the same
// way, against what Wine's GDI answered for them (golden/wine-gdi.txt).
// Known, deliberate differences are left out of the comparison and listed in
// the decisions: otmusMinimumPPEM and otmItalicAngle (Wine reports 0), and
// kerning of GPOS-only fonts (Wine reports none).
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "PlatformTestSupport.h"

namespace vuzodo::platform::test {
namespace {

std::string Format(const char* format, auto... args) {
  char line[512];
  std::snprintf(line, sizeof(line), format, args...);
  return line;
}

// The probe's lines for one font, keyed by their first words.
std::map<std::string, std::string> ProbeLines(const FontDc& font) {
  std::map<std::string, std::string> lines;
  const TEXTMETRICW tm = font.Tm();
  lines["tm"] = Format(
      "tm height %ld ascent %ld descent %ld intlead %ld extlead %ld avewidth %ld maxwidth %ld "
      "weight %ld first %u last %u default %u break %u italic %u pitch %u charset %u",
      (long)tm.tmHeight, (long)tm.tmAscent, (long)tm.tmDescent, (long)tm.tmInternalLeading,
      (long)tm.tmExternalLeading, (long)tm.tmAveCharWidth, (long)tm.tmMaxCharWidth,
      (long)tm.tmWeight, (unsigned)tm.tmFirstChar, (unsigned)tm.tmLastChar,
      (unsigned)tm.tmDefaultChar, (unsigned)tm.tmBreakChar, (unsigned)tm.tmItalic,
      (unsigned)tm.tmPitchAndFamily, (unsigned)tm.tmCharSet);
  const OUTLINETEXTMETRICW o = font.Otm();
  lines["otm em"] = Format(
      "otm em %u ascent %d descent %d linegap %u capheight %u xheight %u box %ld %ld %ld %ld "
      "macascent %d macdescent %d maclinegap %u minppem",
      o.otmEMSquare, o.otmAscent, o.otmDescent, o.otmLineGap, o.otmsCapEmHeight, o.otmsXHeight,
      (long)o.otmrcFontBox.left, (long)o.otmrcFontBox.top, (long)o.otmrcFontBox.right,
      (long)o.otmrcFontBox.bottom, o.otmMacAscent, o.otmMacDescent, o.otmMacLineGap);
  lines["otm sub"] = Format(
      "otm sub %ld %ld %ld %ld super %ld %ld %ld %ld strike %u %d under %d %d italicangle",
      (long)o.otmptSubscriptSize.x, (long)o.otmptSubscriptSize.y, (long)o.otmptSubscriptOffset.x,
      (long)o.otmptSubscriptOffset.y, (long)o.otmptSuperscriptSize.x,
      (long)o.otmptSuperscriptSize.y, (long)o.otmptSuperscriptOffset.x,
      (long)o.otmptSuperscriptOffset.y, o.otmsStrikeoutSize, o.otmsStrikeoutPosition,
      o.otmsUnderscoreSize, o.otmsUnderscorePosition);
  const auto pairs = font.Pairs();
  std::string kern = Format("kern count %zu", pairs.size());
  for (const char* p : {"AV", "To", "Ta", "LT", "Yo"}) {
    bool found;
    kern += Format(" %s %d", p, FindPair(pairs, p[0], p[1], &found));
  }
  lines["kern"] = kern;
  for (const char* s = "AOg .@&"; *s; ++s) {
    GLYPHMETRICS gm{};
    const MAT2 m = Identity();
    const DWORD n =
        GetGlyphOutlineW(font.dc(), static_cast<UINT>(*s), GGO_NATIVE, &gm, 0, nullptr, &m);
    lines[std::string("glyph ") + *s] = Format(
        "glyph %c mat 0 size %ld box %u %u origin %ld %ld inc %d %d", *s,
        n == GDI_ERROR ? -1L : (long)n, gm.gmBlackBoxX, gm.gmBlackBoxY, (long)gm.gmptGlyphOrigin.x,
        (long)gm.gmptGlyphOrigin.y, gm.gmCellIncX, gm.gmCellIncY);
  }
  return lines;
}

TEST(WineOracle, SameAnswersAsWinesGdi) {
  std::ifstream in(TestDir() + "/golden/wine-gdi.txt");
  ASSERT_TRUE(in.good());
  std::string line;
  std::unique_ptr<FontDc> font;
  std::map<std::string, std::string> ours;
  std::string face;
  int compared = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (line.rfind("font ", 0) == 0) {
      // "font <face> height <h> weight <w> italic <i>"
      const size_t h = line.find(" height ");
      face = line.substr(5, h - 5);
      long height = 0, weight = 0;
      int italic = 0;
      std::sscanf(line.c_str() + h, " height %ld weight %ld italic %d", &height, &weight, &italic);
      font.reset();
      font = std::make_unique<FontDc>(U16(face), height, weight, italic != 0);
      ours = ProbeLines(*font);
      continue;
    }
    SCOPED_TRACE(face);
    auto compare_prefix = [&](const std::string& key, const std::string& stop) {
      const std::string wine = line.substr(0, line.find(stop) + stop.size());
      EXPECT_EQ(ours.at(key), wine);
      ++compared;
    };
    if (line.rfind("tm ", 0) == 0) {
      EXPECT_EQ(ours.at("tm"), line);
      ++compared;
    } else if (line.rfind("otm em", 0) == 0) {
      compare_prefix("otm em", "minppem");
    } else if (line.rfind("otm sub", 0) == 0) {
      compare_prefix("otm sub", "italicangle");
    } else if (line.rfind("kern count 0 ", 0) == 0) {
      // GDI reads no GPOS; pairs of GPOS-only fonts are this layer's addition.
    } else if (line.rfind("kern", 0) == 0) {
      EXPECT_EQ(ours.at("kern"), line);
      ++compared;
    } else if (line.rfind("glyph", 0) == 0) {
      EXPECT_EQ(ours.at(line.substr(0, 7)), line);
      ++compared;
    }
  }
  EXPECT_GT(compared, 40);
}

}  // namespace
}  // namespace vuzodo::platform::test
