// Font records and the font exports, in-process: heights worked by hand, cubic outlines against
// their TrueType sibling, kerning against the kern table and HarfBuzz, the registry's bookkeeping.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

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
  const struct {
    std::string face;
    float unit;
    int height;
    float scale;
  } rows[] = {{kLiberation, 1000, 162, 0.162f},
              {kLiberation, 500, 40, 0.08f},
              {FONTS_DATA "/no-a-cap700.ttf", 1000, 142, 0.142f},
              {FONTS_DATA "/no-a-nocap.ttf", 1000, 142, 0.142f}};
  for (const auto& row : rows) {
    InitializeTTF(row.unit);
    EXPECT_EQ(Font(row.face)->GetDesignHeight(), row.height) << row.face;
    EXPECT_EQ(Font(row.face)->GetFontScale(), static_cast<double>(row.scale)) << row.face;
    if (row.height != 142) continue;
    const double top = (5000.0 * 65537.0 + 6000.0) / 65536.0 * static_cast<double>(row.scale);
    EXPECT_NEAR(Measure(*Char(row.face, 'B')).max_y, top, 0.142 / 64.0) << row.face;
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
    ASSERT_FALSE(otf->GetOutlines().empty()) << char(code);
    EXPECT_EQ(otf->GetOutlines().size(), ttf->GetOutlines().size()) << char(code);
    const Measure a(*ttf), b(*otf);
    EXPECT_NEAR(a.min_x, b.min_x, 10.0) << char(code);
    EXPECT_NEAR(a.max_x, b.max_x, 10.0) << char(code);
    EXPECT_NEAR(a.min_y, b.min_y, 10.0) << char(code);
    EXPECT_NEAR(a.max_y, b.max_y, 10.0) << char(code);
    EXPECT_NEAR(std::abs(b.area) / std::abs(a.area), 1.0, 0.03) << char(code);
  }
}

// Kern table values (Liberation, golden/kerning.txt) or GPOS amounts (Carlito, HarfBuzz) in
// pixels as GDI reports them (ppem 8951 and 8192 of 2048 units, as worked out above), then
// times the scale in single precision, truncated.
TEST_F(Fonts, KerningMatchesTheKernTableOrAShaper) {
  const auto table = ReadFonts(GOLDEN "/kerning.txt").at(kLiberation).at("pair");
  for (const auto& [path, ppem] : {std::pair{kLiberation, 8951LL}, std::pair{kCarlito, 8192LL}}) {
    const FontDataHolder* font = Font(path);
    const long long em = 2048;
    const HbKerning hb(path);
    for (const char* pair : {"AV", "To", "Ta"}) {
      long long v = 0, pixels = MulDiv(hb.Kern(pair[0], pair[1]), ppem, em);
      for (const auto& row : table) v = row[0] == pair[0] && row[1] == pair[1] ? row[2] : v;
      if (path == kLiberation)  // legacy kern: one ppem ÷ em step beyond rounding, away from 0
        pixels = (v * ppem + (v < 0 ? -1 : 1) * (em / 2 + ppem)) / em;
      EXPECT_NE(pixels, 0) << path << pair;
      const float amount = static_cast<float>(pixels) * static_cast<float>(font->GetFontScale());
      EXPECT_EQ(font->GetKernAmount(pair[0], pair[1]), static_cast<int>(amount)) << path << pair;
    }
    EXPECT_EQ(font->GetKernAmount(u'x', u'x'), 0.0);
  }
  // Liberation AV: -152 units = -669 pixels at ppem 8951, times 0.162 = -108.4.
  EXPECT_EQ(Font(kLiberation)->GetKernAmount(u'A', u'V'), -108.0);
}

TEST(KernIndex, LaterDuplicatesWinAndMissingPairsAreZero) {
  const KERNINGPAIR pairs[] = {
      {'A', 'V', -5}, {'A', 'V', -9}, {0xFFFF, 0xFFFF, 11}, {'A', 'V', -2}};
  const KernIndex index = BuildKernIndex(pairs);
  EXPECT_EQ(index.size(), 2u);
  EXPECT_EQ(LookupKern(index, 'A', 'V'), -2.0);
  EXPECT_EQ(LookupKern(index, 0xFFFF, 0xFFFF), 11.0);
  EXPECT_EQ(LookupKern(index, 'V', 'A'), 0.0);
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
  const struct {
    int first, last;
    std::size_t built;
  } rows[] = {{65, 90, 26},     {90, 65, 0},           {0x10000, INT_MAX, 0},
              {INT_MIN, -1, 0}, {0xFFF0, INT_MAX, 16}, {0, INT_MAX, 0x10000}};
  for (const auto& r : rows) {
    InitializeTTF(1000.0f);
    LoadCharacterRange(Wide(u"Arial"), EN_STYLE_REGULAR, r.first, r.last);
    EXPECT_EQ(Loader().Fonts().at(0)->GetCharacters().size(), r.built) << r.first << " " << r.last;
  }
  InitializeTTF(1000.0f);
  int* codes = nullptr;
  EXPECT_EQ(GetCustomFontRange(&codes), 0);
  EXPECT_NE(codes, nullptr);  // empty but allocated
  DeleteTTFData(codes);
  LoadCharacterRange(Wide(u"Arial"), EN_STYLE_REGULAR, 65, 90);
  const CharBufferHolder* a = Loader().Fonts()[0]->GetCharacters()[0].get();
  LoadCharacterRange(Wide(u"Arial"), EN_STYLE_REGULAR, 65, 90);
  EXPECT_EQ(Loader().Fonts()[0]->GetCharacters()[0].get(), a);
  int set[] = {'z', 'A', 'b', -1, 0x10000, INT_MAX};
  LoadCharacterSet(Wide(u"Arial"), EN_STYLE_REGULAR, set, 6);
  std::vector<int> expected;
  for (int c = 65; c <= 90; ++c) expected.push_back(c);
  expected.insert(expected.end(), {'z', 'b'});
  const int n = GetCustomFontRange(&codes);
  EXPECT_EQ(std::vector<int>(codes, codes + n), expected);
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
  const struct {
    NURBSPoint low, high;
    double advance;
    CharMetrics want;
  } rows[] = {{{-5, -20, 1}, {300, 700, 1}, 400, {305, 720, -5, 700, 400, 0}},
              {{3.4e38, 3.4e38, 1}, {-3.4e38, -3.4e38, 1}, 250, {250, 0, 0, 0, 250, 0}},
              {{-100000, 0, 1}, {100000.5, 10, 1}, 9, {9, 10, -100000, 10, 9, 0}}};
  for (const auto& r : rows) {
    c.SetMetricsFromBox(r.low, r.high, r.advance);
    EXPECT_EQ(c.GetMetrics(), r.want) << r.advance;
  }
  c.Scale(2.0);
  EXPECT_EQ(c.GetMetrics(), (CharMetrics{18, 20, -200000, 20, 18, 0}));
}

namespace {

// One contour from (0, 0): a line to (4, 0), a cubic to (0, 4) with controls (4, 2) and (2, 4),
// and a quadratic run of two controls, (-1, 3) and (-1, 1), back to (0, 0). In 16-bit words:
// the contour's size and type, then points as (fraction, integer) pairs of x and y.
std::vector<std::uint8_t> HandContour() {
  // clang-format off
  const std::vector<std::int16_t> words = {
      84, 0, TT_POLYGON_TYPE, 0, 0, 0, 0, 0,                   // header, start (0, 0)
      TT_PRIM_LINE, 1, 0, 4, 0, 0,                             // (4, 0)
      TT_PRIM_CSPLINE, 3, 0, 4, 0, 2, 0, 2, 0, 4, 0, 0, 0, 4,  // (4, 2) (2, 4) (0, 4)
      TT_PRIM_QSPLINE, 3, 0, -1, 0, 3, 0, -1, 0, 1, 0, 0, 0, 0};  // (-1, 3) (-1, 1) (0, 0)
  // clang-format on
  std::vector<std::uint8_t> out(words.size() * 2);
  std::memcpy(out.data(), words.data(), out.size());
  return out;
}

std::vector<std::pair<double, double>> Walk(const std::vector<std::uint8_t>& buffer) {
  CQELPolyDraw polydraw;
  NativeBufferToPolyDraw(buffer, polydraw);
  std::vector<std::pair<double, double>> points;
  for (auto* line : PolyDrawToPolyLines(&polydraw)) {
    for (const auto& p : line->GetPoints()) points.emplace_back(p.GetX(), p.GetY());
    delete line;
  }
  return points;
}

}  // namespace

// Start + line + one cubic piece (4) + two quadratic pieces (8): the cubic at t = 0.5 is
// (P0 + 3 P1 + 3 P2 + P3) ÷ 8 = (22, 22) ÷ 8, the first quadratic piece ends at the
// controls' midpoint (-1, 2).
TEST(NativeWalk, PiecesOfFourSegmentsAndMalformedBuffers) {
  const std::vector<std::uint8_t> whole = HandContour();
  const auto p = Walk(whole);
  ASSERT_EQ(p.size(), 14u);
  const std::pair<std::size_t, std::pair<double, double>> rows[] = {
      {3, {2.75, 2.75}}, {5, {0, 4}}, {9, {-1, 2}}, {13, {0, 0}}};
  for (const auto& [i, want] : rows) EXPECT_EQ(p[i], want) << i;
  // Every cut stays inside its bytes (the sanitizer build watches); a contour size of 0, 8 or
  // 2^32 - 1 gives nothing; a record claiming more points than its contour keeps what is there.
  for (std::size_t n = 0; n < whole.size(); ++n) Walk({whole.begin(), whole.begin() + n});
  for (DWORD cb : {0u, 8u, 0xFFFFFFFFu}) {
    std::vector<std::uint8_t> bad = whole;
    std::memcpy(bad.data(), &cb, sizeof(cb));
    EXPECT_TRUE(Walk(bad).empty()) << cb;
  }
  std::vector<std::uint8_t> greedy = whole;
  const WORD many = 60000;
  std::memcpy(greedy.data() + 16 + 2, &many, sizeof(many));
  EXPECT_FALSE(Walk(greedy).empty());
}
