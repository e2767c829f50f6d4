// TrueType characters: contours and their point counts against the font's own points (fontTools
// goldens), metrics, the normalisation of "A" to U, the design height worked by hand, cubic (CFF)
// outlines against their TrueType sibling, and the native buffer walk on hand-made records.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "FontTestSupport.h"
#include "QELPolyLine.h"
#include "QELUtility.h"
#include "TTFLoader.h"
#include "vuzodo/vuzodo.h"

using namespace vuzodo;
using namespace fonttest;

namespace {

class Glyphs : public ::testing::Test {
 protected:
  void SetUp() override { InitializeTTF(1000.0f); }
  TTFLoader& Registry() { return TTFLoader::Instance(); }
  CharBufferHolder* Char(const char16_t* face, std::uint32_t code, int style = 0) {
    return Registry().LoadCharacter(Registry().LoadFont(face, style), code);
  }
};

}  // namespace

TEST_F(Glyphs, LetterOIsTwoClosedContoursWithPointsFromItsRecords) {
  const GoldenFont& golden = Golden(kLiberation);
  ASSERT_EQ(golden.contour_o.size(), 2u);
  for (const char16_t* face : {kLiberation, u"Arial"}) {
    const CharBufferHolder* o = Char(face, 'O');
    ASSERT_NE(o, nullptr);
    ASSERT_EQ(o->GetOutlines().size(), 2u);
    for (std::size_t k = 0; k < 2; ++k) {
      const auto* poly = dynamic_cast<const CQELPolyLine*>(o->GetOutlines()[k]);
      ASSERT_NE(poly, nullptr);
      EXPECT_EQ(poly->GetClosed(), 1);
      EXPECT_EQ(static_cast<int>(poly->GetPoints().size()), golden.contour_o[k]) << k;
    }
    EXPECT_GT(o->GetRawSize(), 0);
  }
}

TEST_F(Glyphs, SpaceHasNoOutlineButItsAdvance) {
  const GoldenFont& golden = Golden(kLiberation);
  const FontDataHolder* font = Registry().LoadFont(kLiberation, 0);
  const CharBufferHolder* space = Char(kLiberation, ' ');
  ASSERT_NE(space, nullptr);
  EXPECT_TRUE(space->GetOutlines().empty());
  EXPECT_EQ(space->GetRawSize(), 0);
  // The advance in pixels at the realized size, rounded (the near-identity matrix adds 1/65536),
  // then multiplied by the font scale.
  const int ppem = CellPpem(golden, FontDataHolder::kTrueTypeHeight);
  const double pixels = std::round(golden.space_advance * ppem / double(golden.em));
  EXPECT_NEAR(space->GetMetrics()[kAdvanceX], pixels * font->GetFontScale(), 1e-9);
  EXPECT_EQ(space->GetMetrics()[kAdvanceY], 0.0);
}

TEST_F(Glyphs, DesignHeightOfLiberationSansWorkedByHand) {
  // em 2048, usWinAscent 1854, usWinDescent 434: cell height 10000 gives
  // ppem = 2048 * 10000 / 2288 = 8951.05 -> 8951. "A" reaches 1409 units: 1409 * 8951 / 2048 =
  // 6158.3 pixels, so its black box top is 6159 (6158 without the matrix's 1/65536: either way)
  // and the design height is trunc(1000 * 1000 / 6159) = trunc(162.36) = 162.
  const FontDataHolder* font = Registry().LoadFont(kLiberation, 0);
  EXPECT_EQ(font->GetDesignHeight(), 162);
  EXPECT_EQ(font->GetFontScale(), static_cast<double>(0.162f));
  // With U = 500: trunc(250000 / 6159) = 40, a scale of 0.08.
  InitializeTTF(500.0f);
  const FontDataHolder* half = Registry().LoadFont(kLiberation, 0);
  EXPECT_EQ(half->GetDesignHeight(), 40);
  EXPECT_EQ(half->GetFontScale(), static_cast<double>(0.08f));
}

TEST_F(Glyphs, LetterAIsAboutOneUnitTallInEveryFont) {
  for (const char16_t* face : {kLiberation, kCarlito, kFreeSansTtf, kFreeSansOtf, u"Arial"}) {
    for (int style : {0, 1}) {
      const CharBufferHolder* a = Char(face, 'A', style);
      ASSERT_NE(a, nullptr);
      EXPECT_NEAR(a->GetMetrics()[kBlackBoxTop], 1000.0, 10.0);
      EXPECT_NEAR(OutlineBox(*a).max_y, 1000.0, 10.0);
      EXPECT_NEAR(OutlineBox(*a).min_y, 0.0, 10.0);
    }
  }
}

TEST_F(Glyphs, ScaledMetricsFollowTheFontScale) {
  const GoldenFont& golden = Golden(kCarlito);
  const FontDataHolder* font = Registry().LoadFont(kCarlito, 0);
  // ppem = 2048 * 10000 / 2500 = 8192; tmHeight 10000, tmAscent = 1950 * 4 = 7800.
  ASSERT_EQ(CellPpem(golden, 10000), 8192);
  const float scale = static_cast<float>(font->GetFontScale());
  EXPECT_EQ(font->GetTextMetrics().tmHeight, static_cast<LONG>(10000.0f * scale));
  EXPECT_EQ(font->GetTextMetrics().tmAscent, static_cast<LONG>(7800.0f * scale));
  EXPECT_EQ(font->GetOutlineTextMetrics().otmTextMetrics.tmAscent, font->GetTextMetrics().tmAscent);
  // The em square (font units) is scaled too, as the metrics are.
  EXPECT_EQ(font->GetOutlineTextMetrics().otmEMSquare, static_cast<UINT>(2048.0f * scale));
}

TEST_F(Glyphs, CubicOutlinesMatchTheirTrueTypeSibling) {
  for (char16_t code : {u'A', u'O', u'g', u'S', u'&', u'8', u'@'}) {
    const CharBufferHolder* ttf = Char(kFreeSansTtf, code);
    const CharBufferHolder* otf = Char(kFreeSansOtf, code);
    ASSERT_NE(ttf, nullptr);
    ASSERT_NE(otf, nullptr);
    ASSERT_FALSE(otf->GetOutlines().empty()) << char(code);
    EXPECT_EQ(otf->GetOutlines().size(), ttf->GetOutlines().size()) << char(code);
    const Box a = OutlineBox(*ttf), b = OutlineBox(*otf);
    // 1% of U for the box, 3% for the area: four chords per piece cut more from a cubic piece,
    // which spans a longer arc than a quadratic one ("O": 2.1%, inner and outer contour).
    EXPECT_NEAR(a.min_x, b.min_x, 10.0) << char(code);
    EXPECT_NEAR(a.max_x, b.max_x, 10.0) << char(code);
    EXPECT_NEAR(a.min_y, b.min_y, 10.0) << char(code);
    EXPECT_NEAR(a.max_y, b.max_y, 10.0) << char(code);
    const double area_t = std::abs(OutlineArea(*ttf)), area_o = std::abs(OutlineArea(*otf));
    EXPECT_GT(area_t, 0.0);
    EXPECT_NEAR(area_o / area_t, 1.0, 0.03) << char(code);
  }
}

// ---- the native buffer walk on hand-made records ----

namespace {

void PutFixed(std::vector<std::uint8_t>& out, double v) {
  const auto raw = static_cast<std::int32_t>(std::lround(v * 65536.0));
  FIXED f{static_cast<WORD>(raw & 0xFFFF), static_cast<SHORT>(raw >> 16)};
  const auto* b = reinterpret_cast<const std::uint8_t*>(&f);
  out.insert(out.end(), b, b + sizeof(f));
}
void PutPoint(std::vector<std::uint8_t>& out, double x, double y) {
  PutFixed(out, x);
  PutFixed(out, y);
}
template <typename T>
void Put(std::vector<std::uint8_t>& out, T v) {
  const auto* b = reinterpret_cast<const std::uint8_t*>(&v);
  out.insert(out.end(), b, b + sizeof(v));
}

// One contour: start (0, 0), a line to (4, 0), a cubic to (0, 4) with controls (4, 2), (2, 4),
// and a quadratic run of two controls ending at (0, 0).
std::vector<std::uint8_t> HandContour() {
  std::vector<std::uint8_t> body;
  Put<WORD>(body, TT_PRIM_LINE);
  Put<WORD>(body, 1);
  PutPoint(body, 4, 0);
  Put<WORD>(body, TT_PRIM_CSPLINE);
  Put<WORD>(body, 3);
  PutPoint(body, 4, 2);
  PutPoint(body, 2, 4);
  PutPoint(body, 0, 4);
  Put<WORD>(body, TT_PRIM_QSPLINE);
  Put<WORD>(body, 3);
  PutPoint(body, -1, 3);
  PutPoint(body, -1, 1);
  PutPoint(body, 0, 0);
  std::vector<std::uint8_t> out;
  Put<DWORD>(out, static_cast<DWORD>(16 + body.size()));
  Put<DWORD>(out, TT_POLYGON_TYPE);
  PutPoint(out, 0, 0);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

}  // namespace

TEST(NativeWalk, LinesCubicsAndQuadraticRunsBecomePiecesOfFourSegments) {
  const std::vector<std::uint8_t> buffer = HandContour();
  CQELPolyDraw polydraw;
  NativeBufferToPolyDraw(buffer, polydraw);
  ASSERT_EQ(polydraw.GetPoints().size(), 8u);
  const auto lines = PolyDrawToPolyLines(&polydraw);
  ASSERT_EQ(lines.size(), 1u);
  // start + line + one cubic (4) + two quadratic pieces (8).
  const auto& p = lines[0]->GetPoints();
  ASSERT_EQ(p.size(), 14u);
  // The cubic at t = 0.5: (P0 + 3 P1 + 3 P2 + P3) / 8 = (4 + 12 + 6 + 0, 0 + 6 + 12 + 4) / 8.
  EXPECT_DOUBLE_EQ(p[3].GetX(), 22.0 / 8.0);
  EXPECT_DOUBLE_EQ(p[3].GetY(), 22.0 / 8.0);
  EXPECT_DOUBLE_EQ(p[5].GetX(), 0.0);
  EXPECT_DOUBLE_EQ(p[5].GetY(), 4.0);
  // The first quadratic piece ends at the midpoint of the two controls, (-1, 2).
  EXPECT_DOUBLE_EQ(p[9].GetX(), -1.0);
  EXPECT_DOUBLE_EQ(p[9].GetY(), 2.0);
  EXPECT_DOUBLE_EQ(p[13].GetX(), 0.0);
  EXPECT_DOUBLE_EQ(p[13].GetY(), 0.0);
  for (auto* l : lines) delete l;
}

TEST(NativeWalk, MalformedBuffersStopInsideTheirBytes) {
  const std::vector<std::uint8_t> whole = HandContour();
  // Every cut of the buffer: the walk reads nothing beyond it (ASan watches the exact size).
  for (std::size_t n = 0; n <= whole.size(); ++n) {
    std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + n);
    CQELPolyDraw polydraw;
    NativeBufferToPolyDraw(cut, polydraw);
    const auto lines = PolyDrawToPolyLines(&polydraw);
    for (auto* l : lines) delete l;
  }
  // A contour size of 0 would loop for ever; one of 2^32 - 1 reaches past the buffer.
  for (DWORD cb : {0u, 8u, 0xFFFFFFFFu}) {
    std::vector<std::uint8_t> bad = whole;
    std::memcpy(bad.data(), &cb, sizeof(cb));
    CQELPolyDraw polydraw;
    NativeBufferToPolyDraw(bad, polydraw);
    EXPECT_TRUE(polydraw.GetPoints().empty()) << cb;
  }
  // A record claiming more points than the contour holds keeps what is there.
  std::vector<std::uint8_t> greedy = whole;
  const WORD many = 60000;
  std::memcpy(greedy.data() + 16 + 2, &many, sizeof(many));
  CQELPolyDraw polydraw;
  NativeBufferToPolyDraw(greedy, polydraw);
  EXPECT_FALSE(polydraw.GetPoints().empty());
}

TEST_F(Glyphs, FontsWithoutAUseTheirCapHeightElseSevenTenthsOfTheEm) {
  // Fixtures of make_goldens.py: em 1000, usWinAscent + usWinDescent = 1000, so cell height
  // 10000 is ppem 10000. With a declared cap height of 700 units: 7000 pixels; without one:
  // 0.7 * 10000 = 7000. Either way the design height is trunc(1000 * 1000 / 7000) = 142 and the
  // square "B" (600 x 500 units = 6000 x 5000 pixels) has its top right corner raised by the
  // near-identity matrix to 5000 * 65537 / 65536 + 6000 / 65536 = 5000.168 pixels, 710.024 after
  // the font scale.
  for (const char* file : {"no-a-cap700.ttf", "no-a-nocap.ttf"}) {
    const std::u16string face = Utf16(std::string(FONTS_DATA) + "/" + file);
    FontDataHolder* font = Registry().LoadFont(face, 0);
    EXPECT_EQ(font->GetDesignHeight(), 142) << file;
    EXPECT_EQ(font->GetFontScale(), static_cast<double>(0.142f)) << file;
    const CharBufferHolder* b = Registry().LoadCharacter(font, 'B');
    ASSERT_NE(b, nullptr);
    const double top = (5000.0 * 65537.0 + 6000.0) / 65536.0 * static_cast<double>(0.142f);
    // Outline points lie on FreeType's 1/64 pixel grid.
    EXPECT_NEAR(OutlineBox(*b).max_y, top, 0.142 / 64.0) << file;
  }
}
