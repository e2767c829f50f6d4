// Kerning amounts against the fonts' own tables: the legacy kern table of Liberation Sans
// (fontTools golden) and the GPOS pair adjustments of Carlito (HarfBuzz shaping with and without
// the kern feature), each taken to pixels as GDI reports them, then scaled and truncated.
#include <gtest/gtest.h>
#include <hb.h>

#include <memory>

#include "FontTestSupport.h"
#include "TTFLoader.h"
#include "vuzodo/vuzodo.h"

using namespace vuzodo;
using namespace fonttest;

namespace {

class Kerning : public ::testing::Test {
 protected:
  void SetUp() override { InitializeTTF(1000.0f); }
};

// The pair's kerning in font units as HarfBuzz applies it: advance with kern minus without.
int HarfBuzzKern(const char* path, char16_t a, char16_t b) {
  hb_blob_t* blob = hb_blob_create_from_file(path);
  hb_face_t* face = hb_face_create(blob, 0);
  hb_font_t* font = hb_font_create(face);
  const int upem = static_cast<int>(hb_face_get_upem(face));
  hb_font_set_scale(font, upem, upem);
  auto advance = [&](bool kern) {
    hb_buffer_t* buffer = hb_buffer_create();
    const uint16_t text[2] = {a, b};
    hb_buffer_add_utf16(buffer, text, 2, 0, 2);
    hb_buffer_set_direction(buffer, HB_DIRECTION_LTR);
    hb_buffer_set_script(buffer, HB_SCRIPT_LATIN);
    hb_buffer_set_language(buffer, hb_language_from_string("en", -1));
    const hb_feature_t features[] = {{HB_TAG('k', 'e', 'r', 'n'), kern ? 1u : 0u, 0, ~0u}};
    hb_shape(font, buffer, features, 1);
    unsigned n = 0;
    const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer, &n);
    const int x = n > 0 ? pos[0].x_advance : 0;
    hb_buffer_destroy(buffer);
    return x;
  };
  const int kern = advance(true) - advance(false);
  hb_font_destroy(font);
  hb_face_destroy(face);
  hb_blob_destroy(blob);
  return kern;
}

// The stored amount: the pixel amount times the font scale, in single precision, truncated.
double Scaled(int pixels, double scale) {
  return static_cast<double>(
      static_cast<int>(static_cast<float>(pixels) * static_cast<float>(scale)));
}

constexpr std::pair<char16_t, char16_t> kPairs[] = {{u'A', u'V'}, {u'T', u'o'}, {u'T', u'a'}};

}  // namespace

TEST_F(Kerning, KernTableFontMatchesItsTableScaledAndTruncated) {
  const GoldenFont& golden = Golden(kLiberation);
  const FontDataHolder* font = TTFLoader::Instance().LoadFont(kLiberation, 0);
  const long long ppem = CellPpem(golden, FontDataHolder::kTrueTypeHeight);
  const long long em = golden.em;
  for (auto [a, b] : kPairs) {
    const long long v = golden.kern.at({a, b});
    ASSERT_NE(v, 0);
    // GDI's pixel amount for legacy kern values: one ppem/em step beyond rounding, away from 0.
    const long long bias = em / 2 + ppem;
    const int pixels = static_cast<int>(v < 0 ? (v * ppem - bias) / em : (v * ppem + bias) / em);
    EXPECT_EQ(font->GetKernAmount(a, b), Scaled(pixels, font->GetFontScale()))
        << char(a) << char(b);
  }
  // Liberation: AV -152 units = -669 pixels at ppem 8951, times 0.162 = -108.4 -> -108.
  EXPECT_EQ(font->GetKernAmount(u'A', u'V'), -108.0);
  EXPECT_EQ(font->GetKernAmount(u'x', u'x'), 0.0);
}

TEST_F(Kerning, GposOnlyFontMatchesHarfBuzz) {
  const char* path = "/usr/share/fonts/truetype/crosextra/Carlito-Regular.ttf";
  const GoldenFont& golden = Golden(kCarlito);
  EXPECT_TRUE(golden.kern.empty());  // no legacy table: everything comes from GPOS
  const FontDataHolder* font = TTFLoader::Instance().LoadFont(kCarlito, 0);
  EXPECT_GT(font->GetKerningPairs().size(), 100000u);
  const long long ppem = CellPpem(golden, FontDataHolder::kTrueTypeHeight);
  int nonzero = 0;
  for (auto [a, b] : kPairs) {
    const long long v = HarfBuzzKern(path, a, b);
    // GPOS amounts: MulDiv(v, ppem, em).
    const long long em = golden.em;
    const long long twice = 2 * v * ppem;
    const int pixels =
        static_cast<int>(v < 0 ? -((-twice + em) / (2 * em)) : (twice + em) / (2 * em));
    EXPECT_EQ(font->GetKernAmount(a, b), Scaled(pixels, font->GetFontScale()))
        << char(a) << char(b);
    nonzero += v != 0;
  }
  EXPECT_GT(nonzero, 0);
}

TEST_F(Kerning, TheLastListedPairWins) {
  // Whatever the order of the font's array, the lookup equals a scan that keeps the last match.
  for (const char16_t* face : {kLiberation, kCarlito}) {
    const FontDataHolder* font = TTFLoader::Instance().LoadFont(face, 0);
    const auto pairs = font->GetKerningPairs();
    ASSERT_FALSE(pairs.empty());
    for (std::size_t i = 0; i < pairs.size(); i += 997) {
      double last = 0.0;
      for (const KERNINGPAIR& p : pairs) {
        if (p.wFirst == pairs[i].wFirst && p.wSecond == pairs[i].wSecond) last = p.iKernAmount;
      }
      ASSERT_EQ(font->GetKernAmount(pairs[i].wFirst, pairs[i].wSecond), last);
    }
  }
}

TEST(KernIndex, LaterDuplicatesWinAndMissingPairsAreZero) {
  const KERNINGPAIR pairs[] = {{'A', 'V', -5}, {'T', 'o', -7},       {'A', 'V', -9}, {'A', 'W', 3},
                               {'A', 'V', -2}, {0xFFFF, 0xFFFF, 11}, {'T', 'o', 4}};
  const KernIndex index = BuildKernIndex(pairs);
  EXPECT_EQ(index.size(), 4u);
  EXPECT_EQ(LookupKern(index, 'A', 'V'), -2.0);
  EXPECT_EQ(LookupKern(index, 'T', 'o'), 4.0);
  EXPECT_EQ(LookupKern(index, 'A', 'W'), 3.0);
  EXPECT_EQ(LookupKern(index, 0xFFFF, 0xFFFF), 11.0);
  EXPECT_EQ(LookupKern(index, 'V', 'A'), 0.0);
  EXPECT_EQ(LookupKern(index, 0, 0), 0.0);
  EXPECT_EQ(LookupKern(KernIndex{}, 'A', 'V'), 0.0);
}
