// Which face a LOGFONTW realizes: families through fontconfig (with its
// metric-compatible aliases and its substitute for unknown families), font
// files by path, and GDI's bold and italic simulation when a face lacks them.
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

#include "PlatformTestSupport.h"

namespace vuzodo::platform::test {
namespace {

const char* kFreeSans = "/usr/share/fonts/opentype/freefont/FreeSans.otf";

// fontconfig's own answer for a family, asked directly.
std::u16string FontconfigFamily(const char* family) {
  FcConfig* config = FcInitLoadConfigAndFonts();
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(config, pattern, &result);
  FcChar8* name = nullptr;
  std::u16string out;
  if (match && FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch) {
    out = U16(reinterpret_cast<const char*>(name));
  }
  if (match) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  FcConfigDestroy(config);
  return out;
}

TEST(FaceMatch, ArialIsLiberationSansInEveryStyle) {
  struct Case {
    LONG weight;
    bool italic;
    const char16_t* style;
  };
  for (const char16_t* family : {u"Arial", u"arial", u"Liberation Sans"}) {
    for (const Case& c : {Case{FW_NORMAL, false, u"Regular"}, Case{FW_BOLD, false, u"Bold"},
                          Case{FW_NORMAL, true, u"Italic"}, Case{FW_BOLD, true, u"Bold Italic"},
                          Case{FW_DONTCARE, false, u"Regular"}}) {
      FontDc font(family, 10000, c.weight, c.italic);
      EXPECT_EQ(font.Family(), u"Liberation Sans") << U8(family);
      EXPECT_EQ(font.Style(), c.style) << U8(family) << " " << c.weight << " " << c.italic;
      // A real bold or italic face: nothing simulated.
      EXPECT_EQ(font.Tm().tmWeight, c.weight == FW_BOLD ? FW_BOLD : FW_NORMAL);
      EXPECT_EQ(font.Tm().tmItalic, c.italic ? 255 : 0);
    }
  }
}

TEST(FaceMatch, CarlitoStylesPickTheirFiles) {
  FontDc bold(u"Carlito", 10000, FW_BOLD);
  FontDc italic(u"Carlito", 10000, FW_NORMAL, true);
  EXPECT_EQ(bold.Family(), u"Carlito");
  EXPECT_EQ(bold.Style(), u"Bold");
  EXPECT_EQ(italic.Style(), u"Italic");
}

TEST(FaceMatch, UnknownFamilyGetsFontconfigsSubstitute) {
  const std::u16string expected = FontconfigFamily("Vuzodo No Such Family");
  ASSERT_FALSE(expected.empty());
  FontDc font(u"Vuzodo No Such Family", 10000);
  EXPECT_EQ(font.Family(), expected);
  EXPECT_EQ(font.Tm().tmHeight, 10000);
  EXPECT_GT(font.Native('A', Identity()).size(), 0u);
}

TEST(FaceMatch, FontFilePathLoadsThatFile) {
  FontDc font(U16(kFreeSans), 10000);
  EXPECT_EQ(font.Family(), u"FreeSans");
  // Through lfFaceName too, when the path fits into its 31 units.
  const auto short_path =
      std::filesystem::temp_directory_path() / ("vz" + std::to_string(getpid()) + ".OTF");
  std::filesystem::copy_file(kFreeSans, short_path,
                             std::filesystem::copy_options::overwrite_existing);
  const std::string p = short_path.string();
  ASSERT_LT(p.size(), 32u);
  LOGFONTW lf{};
  lf.lfHeight = 10000;
  for (size_t i = 0; i < p.size(); ++i) lf.lfFaceName[i] = static_cast<WCHAR>(p[i]);
  HFONT f = CreateFontIndirectW(&lf);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, f);
  TEXTMETRICW tm{};
  ASSERT_TRUE(GetTextMetricsW(dc, &tm));
  EXPECT_EQ(tm.tmAscent, MulDiv(900, 10000, 1200));  // FreeSans: win 900 + 300 of em 1000
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(f);
  std::filesystem::remove(short_path);
}

// lfFaceName keeps 31 units: a longer path given through it is cut and no
// longer names the file, so the default face is used, as GDI would.
TEST(FaceMatch, PathCutByLfFaceNameIsSubstituted) {
  LOGFONTW lf{};
  lf.lfHeight = 10000;
  const std::string p = kFreeSans;
  for (size_t i = 0; i < LF_FACESIZE; ++i)
    lf.lfFaceName[i] = static_cast<WCHAR>(p[i]);  // no terminator
  HFONT f = CreateFontIndirectW(&lf);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, f);
  OUTLINETEXTMETRICW otm{};
  ASSERT_EQ(GetOutlineTextMetricsW(dc, sizeof(otm), &otm), sizeof(otm));
  EXPECT_NE(otm.otmEMSquare, 1000u);  // not FreeSans
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(f);
}

// The fixture has one regular face; bold and italic are simulated.
TEST(FaceMatch, MissingBoldAndItalicAreSimulated) {
  const std::u16string path = U16(TestDir() + "/data/odd-contours.ttf");
  FontDc regular(path, -1000);
  FontDc bold(path, -1000, FW_BOLD);
  FontDc italic(path, -1000, FW_NORMAL, true);
  EXPECT_EQ(regular.Family(), u"Odd Contours");
  EXPECT_EQ(bold.Family(), u"Odd Contours");
  EXPECT_EQ(bold.Tm().tmWeight, FW_BOLD);
  EXPECT_EQ(italic.Tm().tmItalic, 255);
  GLYPHMETRICS r{}, b{}, i{};
  // The square 100..600 × 0..700 and a lone point at (50, 50): the point
  // draws nothing but is part of the control box.
  regular.Native('D', Identity(), &r);
  bold.Native('D', Identity(), &b);
  italic.Native('D', Identity(), &i);
  EXPECT_EQ(r.gmBlackBoxX, 550u);
  EXPECT_GT(b.gmBlackBoxX, r.gmBlackBoxX);
  EXPECT_GT(b.gmCellIncX, r.gmCellIncX);
  EXPECT_GT(i.gmBlackBoxX, r.gmBlackBoxX);  // leaning right
  EXPECT_EQ(i.gmBlackBoxY, r.gmBlackBoxY);
  EXPECT_EQ(i.gmCellIncX, r.gmCellIncX);
}

}  // namespace
}  // namespace vuzodo::platform::test
