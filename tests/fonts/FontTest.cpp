// Font records and the font exports, in-process: heights worked by hand, cubic outlines against
// their TrueType sibling, kerning against Wine's GDI and HarfBuzz, the registry's bookkeeping.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <tuple>

#include "FontSupport.h"
#include "QELPolyLine.h"
#include "QELUtility.h"
#include "TTFLoader.h"
#include "vuzodo/vuzodo.h"

using namespace vuzodo;
using namespace fontsupport;

namespace {

const std::string kLiberation = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";
const std::string kCarlito = "/usr/share/fonts/truetype/crosextra/Carlito-Regular.ttf";
const std::string kFreeTtf = "/usr/share/fonts/truetype/freefont/FreeSans.ttf";
const std::string kFreeOtf = "/usr/share/fonts/opentype/freefont/FreeSans.otf";

unsigned short* Wide(const std::u16string& s) {
  return const_cast<unsigned short*>(reinterpret_cast<const unsigned short*>(s.c_str()));
}

// Box and shoelace area (counter-clockwise positive) of a character's polylines.
struct Measure {
  double min_x = 1e300, min_y = 1e300, max_x = -1e300, max_y = -1e300, area = 0;
  explicit Measure(const CharBufferHolder& c) {
    for (const CQELEntity* e : c.GetOutlines()) {
      const auto& p = dynamic_cast<const CQELPolyLine&>(*e).GetPoints();
      for (std::size_t i = 0; i < p.size(); ++i) {
        const auto &a = p[i], &b = p[(i + 1) % p.size()];
        area += (a.GetX() * b.GetY() - b.GetX() * a.GetY()) / 2;
        min_x = std::min(min_x, a.GetX()), max_x = std::max(max_x, a.GetX());
        min_y = std::min(min_y, a.GetY()), max_y = std::max(max_y, a.GetY());
      }
    }
  }
};

class Fonts : public ::testing::Test {
 protected:
  void SetUp() override { InitializeTTF(1000.0f); }
  TTFLoader& Loader() { return TTFLoader::Instance(); }
  FontDataHolder* Font(const std::string& face, int style = 0) {
    return Loader().LoadFont(U16(face), style);
  }
  const CharBufferHolder* Char(const std::string& face, std::uint32_t code, int style = 0) {
    const CharBufferHolder* c = Loader().LoadCharacter(Font(face, style), code);
    EXPECT_NE(c, nullptr) << face << " " << code;
    return c;
  }
};

}  // namespace

// "A" is normalised to the unit in every font and style; a file that is no font gives the
// default face, normalised the same way.
TEST_F(Fonts, LetterAIsOneUnitTall) {
  for (const std::string& face :
       {kCarlito, kFreeOtf, std::string("Arial"), std::string("/n.ttf")}) {
    for (int style : {0, 1}) {
      const CharBufferHolder* a = Char(face, 'A', style);
      EXPECT_NEAR(a->GetMetrics()[kBlackBoxTop], 1000.0, 10.0) << face;
      EXPECT_NEAR(Measure(*a).max_y, 1000.0, 10.0) << face;
      EXPECT_NEAR(Measure(*a).min_y, 0.0, 10.0) << face;
    }
  }
}

// Liberation: em 2048, win 1854 + 434, so ppem = 2048 × 10000 ÷ 2288 = 8951; "A" reaches 1409
// units = 6158.3 pixels, black box top 6159: trunc(U² ÷ 6159) = 162, and 40 for U = 500.
// Fixtures without "A" (em 1000 = win 800 + 200): their cap height of 700, else 0.7 em, is 7000
// pixels: 142; the square "B" (500 high) tops at 5000 × 65537/65536 + 6000/65536 pixels (the
// near-identity matrix) times the scale.
TEST_F(Fonts, DesignHeightWorkedByHand) {
  const std::tuple<std::string, float, int, float> rows[] = {
      {kLiberation, 1000, 162, 0.162f},
      {kLiberation, 500, 40, 0.08f},
      {FONTS_DATA "/no-a-cap700.ttf", 1000, 142, 0.142f},
      {FONTS_DATA "/no-a-nocap.ttf", 1000, 142, 0.142f}};
  for (const auto& [face, unit, height, scale] : rows) {
    InitializeTTF(unit);
    EXPECT_EQ(Font(face)->GetDesignHeight(), height) << face;
    EXPECT_EQ(Font(face)->GetFontScale(), static_cast<double>(scale)) << face;
    if (height != 142) continue;
    const double top = (5000.0 * 65537.0 + 6000.0) / 65536.0 * static_cast<double>(scale);
    EXPECT_NEAR(Measure(*Char(face, 'B')).max_y, top, 0.142 / 64.0) << face;
  }
}

// Space: no outline, the advance (569 of Liberation's 2048 units) in pixels at the realized size
// (ppem 8951) rounded, times the scale.
TEST_F(Fonts, SpaceAndLineMetricsAreScaledPixels) {
  const CharBufferHolder* space = Char(kLiberation, ' ');
  EXPECT_TRUE(space->GetOutlines().empty());
  EXPECT_EQ(space->GetRawSize(), 0);
  const double pixels = std::round(569.0 * 8951 / 2048);
  EXPECT_NEAR(space->GetMetrics()[kAdvanceX], pixels * Font(kLiberation)->GetFontScale(), 1e-9);
  // Carlito: ppem 2048 × 10000 ÷ 2500 = 8192, ascent 1950 × 4 = 7800, all times the scale.
  const FontDataHolder* carlito = Font(kCarlito);
  const float scale = static_cast<float>(carlito->GetFontScale());
  EXPECT_EQ(carlito->GetTextMetrics().tmHeight, static_cast<LONG>(10000.0f * scale));
  EXPECT_EQ(carlito->GetTextMetrics().tmAscent, static_cast<LONG>(7800.0f * scale));
  EXPECT_EQ(carlito->GetOutlineTextMetrics().otmEMSquare, static_cast<UINT>(2048.0f * scale));
}

// 1% of U for the box, 3% for the area: four chords per piece cut more from a cubic piece,
// which spans a longer arc than a quadratic one ("O": 2.1%).
TEST_F(Fonts, CubicOutlinesMatchTheirTrueTypeSibling) {
  for (char16_t code : {u'A', u'O', u'g', u'S', u'&', u'8', u'@'}) {
    const CharBufferHolder *ttf = Char(kFreeTtf, code), *otf = Char(kFreeOtf, code);
    EXPECT_EQ(otf->GetOutlines().size(), ttf->GetOutlines().size()) << char(code);
    const Measure a(*ttf), b(*otf);
    for (auto [u, v] :
         {std::pair{a.min_x, b.min_x}, {a.max_x, b.max_x}, {a.min_y, b.min_y}, {a.max_y, b.max_y}})
      EXPECT_NEAR(u, v, 10.0) << char(code);
    EXPECT_NEAR(std::abs(b.area) / std::abs(a.area), 1.0, 0.03) << char(code);
  }
}

// Pairs in pixels as Wine's GDI reports them for Liberation's kern table at height 10000
// (tests/platform/golden/wine-gdi.txt), or Carlito's GPOS amounts by HarfBuzz rounded at ppem
// 8192 of 2048 units; then times the scale in single precision, truncated.
TEST_F(Fonts, KerningMatchesTheKernTableOrAShaper) {
  const std::pair<std::string, long> wine[] = {{"AV", -669}, {"To", -996}, {"Ta", -996}};
  for (const std::string& path : {kLiberation, kCarlito}) {
    const FontDataHolder* font = Font(path);
    for (const auto& [pair, liberation] : wine) {
      const long pixels = path == kLiberation
                              ? liberation
                              : std::lround(HbKerning(path).Kern(pair[0], pair[1]) * 8192.0 / 2048);
      EXPECT_NE(pixels, 0) << path << pair;
      const float amount = static_cast<float>(pixels) * static_cast<float>(font->GetFontScale());
      EXPECT_EQ(font->GetKernAmount(pair[0], pair[1]), static_cast<int>(amount)) << path << pair;
    }
    EXPECT_EQ(font->GetKernAmount(u'x', u'x'), 0.0);
  }
  EXPECT_EQ(Font(kLiberation)->GetKernAmount(u'A', u'V'), -108.0);  // -669 × 0.162 = -108.4
}

// Faces are keys as given (case, every unit of a long face); styles are entries of their own,
// bold ones emboldened.
TEST_F(Fonts, RegistryKeysAndUnloading) {
  FontDataHolder* arial = Font("Arial");
  EXPECT_NE(Font("arial"), arial);
  FontDataHolder* bold = Font("Arial", 1);
  EXPECT_NE(bold->GetFontHandle(), arial->GetFontHandle());
  EXPECT_EQ(Font("Arial"), arial);
  EXPECT_GT(Loader().LoadCharacter(bold, 'l')->GetMetrics()[kBlackBoxWidth],
            Loader().LoadCharacter(arial, 'l')->GetMetrics()[kBlackBoxWidth]);
  const std::u16string longest(10000, u'x');
  LoadCharacterRange(Wide(longest), static_cast<EN_TTFFontStyle>(7), 65, 65);
  ASSERT_EQ(Loader().Fonts().size(), 4u);
  EXPECT_EQ(Loader().Fonts()[3]->GetFace(), longest);
  for (const char16_t* face : {u"Nope", u"arial", u"Arial", static_cast<const char16_t*>(nullptr)})
    UnloadFont(face ? Wide(face) : nullptr, EN_STYLE_REGULAR);
  ASSERT_EQ(Loader().Fonts().size(), 2u);
  EXPECT_EQ(Loader().Fonts()[0].get(), bold);
  InitializeTTF(1000.0f);
  EXPECT_TRUE(Loader().Fonts().empty());
}

// Ranges build each UTF-16 unit once, clamped to 0..0xFFFF; the set export passes over codes
// outside it; the custom range lists the line's font in build order.
TEST_F(Fonts, RangesAndSetsBuildEachUnitOnce) {
  const std::tuple<int, int, std::size_t> rows[] = {{65, 90, 26},          {90, 65, 0},
                                                    {0x10000, INT_MAX, 0}, {INT_MIN, -1, 0},
                                                    {0xFFF0, INT_MAX, 16}, {0, INT_MAX, 0x10000}};
  for (const auto& [first, last, built] : rows) {
    InitializeTTF(1000.0f);
    LoadCharacterRange(Wide(u"Arial"), EN_STYLE_REGULAR, first, last);
    EXPECT_EQ(Loader().Fonts().at(0)->GetCharacters().size(), built) << first << " " << last;
  }
  InitializeTTF(1000.0f);
  int* codes = nullptr;
  EXPECT_EQ(GetCustomFontRange(&codes), 0);
  EXPECT_NE(codes, nullptr);  // empty but allocated
  DeleteTTFData(codes);
  LoadCharacterRange(Wide(u"Arial"), EN_STYLE_REGULAR, 88, 90);
  int set[] = {'z', 'X', 'b', -1, 0x10000, INT_MAX};
  LoadCharacterSet(Wide(u"Arial"), EN_STYLE_REGULAR, set, 6);
  const int n = GetCustomFontRange(&codes);
  EXPECT_EQ(std::vector<int>(codes, codes + n), (std::vector<int>{'X', 'Y', 'Z', 'z', 'b'}));
  DeleteTTFData(codes);
}

// ratio = U ÷ the depth of "g" below the baseline, about Liberation's descender (425 of the
// 1409 units of "A"); the record is rebuilt alike after every font is unloaded.
TEST_F(Fonts, FontInformationRebuildsAfterUnloadAll) {
  FontInformation info{}, again{};
  GetFontInformation(Wide(u"Arial"), EN_STYLE_REGULAR, &info);
  const CharBufferHolder* g = Loader().Fonts().at(0)->FindCharacter('g');
  ASSERT_NE(g, nullptr);
  const double depth = g->GetMetrics()[kBlackBoxHeight] - g->GetMetrics()[kBlackBoxTop];
  EXPECT_NEAR(depth, 1000.0 * 425 / 1409, 10.0);
  EXPECT_FLOAT_EQ(info.ratio, static_cast<float>(1000.0 / depth));
  EXPECT_EQ(info.designHeight, 162);
  EXPECT_EQ(info.emSquare, static_cast<int>(2048.0f * 0.162f));
  UnloadAllFonts();
  EXPECT_TRUE(Loader().Fonts().empty());
  GetFontInformation(Wide(u"Arial"), EN_STYLE_REGULAR, &again);
  EXPECT_EQ(std::memcmp(&info, &again, sizeof(info)), 0);
}

TEST(FontKind, TheLastSuffixDecides) {
  using enum FontKind;
  const char16_t* faces[] = {
      u"C:/fonts/txt.shx", u"romans.SHX", u"a.shx.bak", u"a.shx.b.shx", u"x.fnt",
      u"x.shx.fnt",        u"X.Ovf",      u".shx",      u"shx",         u"Arial"};
  const FontKind kinds[] = {kShx, kShx, kTrueType, kTrueType, kFnt,
                            kFnt, kOvf, kShx,      kTrueType, kTrueType};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(KindOfFace(faces[i]), kinds[i]) << i;
}

// A character without geometry keeps the box's starting values; +-100000 is the last
// coordinate inside the range.
TEST(CharacterRecord, MetricsFromABox) {
  CharBufferHolder c(7u, std::vector<CQELEntity*>{});
  const std::tuple<NURBSPoint, NURBSPoint, double, CharMetrics> rows[] = {
      {{-5, -20, 1}, {300, 700, 1}, 400, {305, 720, -5, 700, 400, 0}},
      {{3.4e38, 3.4e38, 1}, {-3.4e38, -3.4e38, 1}, 250, {250, 0, 0, 0, 250, 0}},
      {{-100000, 0, 1}, {100000.5, 10, 1}, 9, {9, 10, -100000, 10, 9, 0}}};
  for (const auto& [low, high, advance, want] : rows) {
    c.SetMetricsFromBox(low, high, advance);
    EXPECT_EQ(c.GetMetrics(), want) << advance;
  }
}

// One contour from (0, 0): a line to (4, 0), a cubic to (0, 4) with controls (4, 2) and (2, 4),
// and a quadratic run of two controls, (-1, 3) and (-1, 1), back to (0, 0); in 16-bit words the
// contour's size and type, then points as (fraction, integer) pairs. Start + line + one cubic
// piece (4) + two quadratic pieces (8): the cubic at t = 0.5 is (P0 + 3 P1 + 3 P2 + P3) ÷ 8 =
// (22, 22) ÷ 8, the first quadratic piece ends at the controls' midpoint (-1, 2).
TEST(NativeWalk, PiecesOfFourSegmentsAndMalformedBuffers) {
  // clang-format off
  const std::vector<std::int16_t> words = {
      84, 0, TT_POLYGON_TYPE, 0, 0, 0, 0, 0,                   // header, start (0, 0)
      TT_PRIM_LINE, 1, 0, 4, 0, 0,                             // (4, 0)
      TT_PRIM_CSPLINE, 3, 0, 4, 0, 2, 0, 2, 0, 4, 0, 0, 0, 4,  // (4, 2) (2, 4) (0, 4)
      TT_PRIM_QSPLINE, 3, 0, -1, 0, 3, 0, -1, 0, 1, 0, 0, 0, 0};  // (-1, 3) (-1, 1) (0, 0)
  // clang-format on
  std::vector<std::uint8_t> whole(words.size() * 2);
  std::memcpy(whole.data(), words.data(), whole.size());
  const auto Walk = [](const std::vector<std::uint8_t>& buffer) {
    CQELPolyDraw polydraw;
    NativeBufferToPolyDraw(buffer, polydraw);
    std::vector<std::pair<double, double>> points;
    for (auto* line : PolyDrawToPolyLines(&polydraw)) {
      for (const auto& p : line->GetPoints()) points.emplace_back(p.GetX(), p.GetY());
      delete line;
    }
    return points;
  };
  const auto p = Walk(whole);
  ASSERT_EQ(p.size(), 14u);
  const std::pair<std::size_t, std::pair<double, double>> rows[] = {
      {3, {2.75, 2.75}}, {5, {0, 4}}, {9, {-1, 2}}, {13, {0, 0}}};
  for (const auto& [i, want] : rows) EXPECT_EQ(p[i], want) << i;
  // Every cut stays inside its bytes (the sanitizer build watches); a contour size of 0, 8 or
  // 2^32 - 1 gives nothing; a record claiming 60000 points keeps what its contour holds.
  for (std::size_t n = 0; n < whole.size(); ++n) Walk({whole.begin(), whole.begin() + n});
  const std::tuple<std::size_t, DWORD, bool> bad[] = {
      {0, 0, true}, {0, 8, true}, {0, ~0u, true}, {18, 60000, false}};
  for (const auto& [at, value, empty] : bad) {
    std::vector<std::uint8_t> b = whole;
    std::memcpy(b.data() + at, &value, sizeof(value));
    EXPECT_EQ(Walk(b).empty(), empty) << at << " " << value;
  }
}
