// Kerning pairs: the legacy kern table as GDI reports it (golden/kerning.txt,
// read with fontTools), and for fonts that kern only in GPOS the amounts a
// shaper puts between the two letters with the "kern" feature (HarfBuzz as the
// oracle: advance of the first glyph with kern on minus with kern off).
#include <gtest/gtest.h>
#include <hb-ot.h>
#include <hb.h>

#include <memory>

#include "PlatformTestSupport.h"

namespace vuzodo::platform::test {
namespace {

TEST(Kerning, KernTablePairsAsGdiReportsThem) {
  for (const GoldenKerning& g : ReadGoldenKerning()) {
    SCOPED_TRACE(g.path);
    FontDc font(U16(g.path), 10000);
    const long upem = font.Otm().otmEMSquare;
    // ppem from the em the metrics report: tmHeight - tmInternalLeading.
    const TEXTMETRICW tm = font.Tm();
    const long ppem = tm.tmHeight - tm.tmInternalLeading;
    const auto pairs = font.Pairs();
    EXPECT_EQ(static_cast<long>(pairs.size()), g.count);
    for (const KERNINGPAIR& want : g.pairs) {
      bool found = false;
      const int amount = FindPair(pairs, want.wFirst, want.wSecond, &found);
      EXPECT_EQ(found, want.iKernAmount != 0) << char(want.wFirst) << char(want.wSecond);
      // GDI reports kern table amounts one ppem ÷ em step beyond rounding
      // (see golden/wine-gdi.txt): (v × ppem ± (em / 2 + ppem)) ÷ em, truncated.
      long long want_px = static_cast<long long>(want.iKernAmount) * ppem;
      if (want_px != 0) want_px += (want_px < 0 ? -1 : 1) * (upem / 2 + ppem);
      EXPECT_EQ(amount, want_px / upem) << char(want.wFirst) << char(want.wSecond);
    }
  }
}

TEST(Kerning, CountQueryAndShortBuffers) {
  FontDc font(u"Liberation Sans", 10000);
  const DWORD count = GetKerningPairsW(font.dc(), 0, nullptr);
  ASSERT_GT(count, 10u);
  std::vector<KERNINGPAIR> all(count);
  EXPECT_EQ(GetKerningPairsW(font.dc(), count + 5, all.data()), count);
  std::vector<KERNINGPAIR> some(5, KERNINGPAIR{0, 0, 12345});
  some.resize(6, KERNINGPAIR{1, 1, 777});
  EXPECT_EQ(GetKerningPairsW(font.dc(), 5, some.data()), 5u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(some[i].wFirst, all[i].wFirst);
    EXPECT_EQ(some[i].iKernAmount, all[i].iKernAmount);
  }
  EXPECT_EQ(some[5].iKernAmount, 777);
}

struct HbFontDeleter {
  void operator()(hb_font_t* f) const { hb_font_destroy(f); }
};

// Kerning of "ab" in font units according to HarfBuzz's GPOS "kern" feature.
class HbKerning {
 public:
  explicit HbKerning(const std::string& path) {
    hb_blob_t* blob = hb_blob_create_from_file(path.c_str());
    hb_face_t* face = hb_face_create(blob, 0);
    font_.reset(hb_font_create(face));
    upem_ = static_cast<int>(hb_face_get_upem(face));
    hb_font_set_scale(font_.get(), upem_, upem_);
    hb_face_destroy(face);
    hb_blob_destroy(blob);
  }
  int upem() const { return upem_; }
  int Kern(char16_t a, char16_t b) const { return Advance(a, b, true) - Advance(a, b, false); }

 private:
  int Advance(char16_t a, char16_t b, bool kern) const {
    hb_buffer_t* buffer = hb_buffer_create();
    const uint16_t text[2] = {a, b};
    hb_buffer_add_utf16(buffer, text, 2, 0, 2);
    hb_buffer_set_direction(buffer, HB_DIRECTION_LTR);
    hb_buffer_set_script(buffer, HB_SCRIPT_LATIN);
    hb_buffer_set_language(buffer, hb_language_from_string("en", -1));
    // Ligatures off, so that "fi" stays two glyphs; only kern is switched.
    const hb_feature_t features[] = {{HB_TAG('k', 'e', 'r', 'n'), kern ? 1u : 0u, 0, ~0u},
                                     {HB_TAG('l', 'i', 'g', 'a'), 0, 0, ~0u},
                                     {HB_TAG('c', 'l', 'i', 'g'), 0, 0, ~0u}};
    hb_shape(font_.get(), buffer, features, 3);
    unsigned int n = 0;
    const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer, &n);
    const int advance = n > 0 ? pos[0].x_advance : 0;
    hb_buffer_destroy(buffer);
    return advance;
  }
  std::unique_ptr<hb_font_t, HbFontDeleter> font_;
  int upem_ = 0;
};

// Every pair of ASCII letters of two GPOS-only fonts (a quadratic and a
// cubic one): at one pixel per unit the pair amounts are HarfBuzz's.
TEST(Kerning, GposOnlyFontsKernLikeAShaper) {
  for (const char* path : {"/usr/share/fonts/truetype/crosextra/Carlito-Regular.ttf",
                           "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf"}) {
    SCOPED_TRACE(path);
    const HbKerning hb(path);
    FontDc font(U16(path), -hb.upem());
    const auto pairs = font.Pairs();
    EXPECT_GT(pairs.size(), 100u);
    std::string letters;
    for (char c = 'A'; c <= 'Z'; ++c) letters += c;
    for (char c = 'a'; c <= 'z'; ++c) letters += c;
    int kerned = 0;
    for (char a : letters) {
      for (char b : letters) {
        bool found = false;
        const int amount = FindPair(pairs, a, b, &found);
        const int want = hb.Kern(a, b);
        EXPECT_EQ(amount, want) << a << b;
        kerned += want != 0;
      }
    }
    EXPECT_GT(kerned, 50);
  }
}

TEST(Kerning, GposAmountsScaleWithTheFont) {
  const char* path = "/usr/share/fonts/truetype/crosextra/Carlito-Regular.ttf";
  const HbKerning hb(path);
  FontDc font(U16(path), 10000);
  const TEXTMETRICW tm = font.Tm();
  const long ppem = tm.tmHeight - tm.tmInternalLeading;
  const auto pairs = font.Pairs();
  for (const char* pair : {"AV", "To", "Ta"}) {
    bool found = false;
    const int amount = FindPair(pairs, pair[0], pair[1], &found);
    EXPECT_TRUE(found) << pair;
    EXPECT_NE(hb.Kern(pair[0], pair[1]), 0) << pair;
    EXPECT_EQ(amount, MulDiv(hb.Kern(pair[0], pair[1]), ppem, hb.upem())) << pair;
  }
}

}  // namespace
}  // namespace vuzodo::platform::test
