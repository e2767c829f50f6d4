// The font registry and the font exports: keys, caching, unloading, the information record and
// the custom range, and the font kinds chosen by the face's suffix.
#include <gtest/gtest.h>

#include <cstring>

#include "FontTestSupport.h"
#include "TTFLoader.h"
#include "vuzodo/vuzodo.h"

using namespace vuzodo;
using namespace fonttest;

namespace {

class Registry : public ::testing::Test {
 protected:
  void SetUp() override { InitializeTTF(1000.0f); }
  TTFLoader& Loader() { return TTFLoader::Instance(); }
  static unsigned short* Wide(const char16_t* s) {
    return const_cast<unsigned short*>(reinterpret_cast<const unsigned short*>(s));
  }
  // Codes of GetCustomFontRange, released as a host would.
  std::vector<int> CustomRange() {
    int* codes = nullptr;
    const int n = GetCustomFontRange(&codes);
    std::vector<int> out(codes, codes + n);
    DeleteTTFData(codes);
    return out;
  }
};

}  // namespace

TEST_F(Registry, FacesAreCaseSensitiveAndStylesAreSeparateEntries) {
  FontDataHolder* arial = Loader().LoadFont(u"Arial", 0);
  EXPECT_NE(Loader().LoadFont(u"arial", 0), arial);
  FontDataHolder* bold = Loader().LoadFont(u"Arial", 1);
  EXPECT_NE(bold, arial);
  EXPECT_NE(bold->GetFontHandle(), arial->GetFontHandle());
  EXPECT_EQ(Loader().LoadFont(u"Arial", 0), arial);
  EXPECT_EQ(Loader().Fonts().size(), 3u);
  // Bold outlines are emboldened: a wider stem gives "l" more ink.
  const double regular_l = Loader().LoadCharacter(arial, 'l')->GetMetrics()[kBlackBoxWidth];
  const double bold_l = Loader().LoadCharacter(bold, 'l')->GetMetrics()[kBlackBoxWidth];
  EXPECT_GT(bold_l, regular_l);
}

TEST_F(Registry, RangeBuildsEachCharacterOnceInBuildOrder) {
  LoadCharacterRange(Wide(u"Arial"), EN_STYLE_REGULAR, 65, 90);
  ASSERT_EQ(Loader().Fonts().size(), 1u);
  const FontDataHolder& font = *Loader().Fonts()[0];
  ASSERT_EQ(font.GetCharacters().size(), 26u);
  const CharBufferHolder* a = font.GetCharacters()[0].get();
  LoadCharacterRange(Wide(u"Arial"), EN_STYLE_REGULAR, 65, 90);
  EXPECT_EQ(font.GetCharacters().size(), 26u);
  EXPECT_EQ(font.GetCharacters()[0].get(), a);
  LoadCharacterRange(Wide(u"Arial"), EN_STYLE_REGULAR, 90, 65);  // first > last: nothing
  int set[] = {'z', 'A', 'b'};
  LoadCharacterSet(Wide(u"Arial"), EN_STYLE_REGULAR, set, 3);
  // The line's face is "Arial" regular: the custom range is that font's list in build order.
  std::vector<int> expected;
  for (int c = 65; c <= 90; ++c) expected.push_back(c);
  expected.push_back('z');
  expected.push_back('b');
  EXPECT_EQ(CustomRange(), expected);
}

TEST_F(Registry, CustomRangeOfAFreshFontIsEmptyButAllocated) {
  int* codes = nullptr;
  EXPECT_EQ(GetCustomFontRange(&codes), 0);
  EXPECT_NE(codes, nullptr);
  DeleteTTFData(codes);
  EXPECT_EQ(GetCustomFontRange(nullptr), 0);
}

TEST_F(Registry, UnloadingFindsTheExactEntryOnly) {
  FontDataHolder* arial = Loader().LoadFont(u"Arial", 0);
  Loader().LoadFont(u"Arial", 2);
  UnloadFont(Wide(u"Nope"), EN_STYLE_REGULAR);
  UnloadFont(Wide(u"arial"), EN_STYLE_REGULAR);
  UnloadFont(nullptr, EN_STYLE_REGULAR);
  ASSERT_EQ(Loader().Fonts().size(), 2u);
  EXPECT_EQ(Loader().Fonts()[0].get(), arial);
  UnloadFont(Wide(u"Arial"), EN_STYLE_REGULAR);
  ASSERT_EQ(Loader().Fonts().size(), 1u);
  EXPECT_EQ(Loader().Fonts()[0]->GetStyle(), 2);
  UnloadFont(Wide(u"Arial"), EN_STYLE_ITALIC);
  EXPECT_TRUE(Loader().Fonts().empty());
}

TEST_F(Registry, FontInformationRebuildsAfterUnloadAll) {
  const GoldenFont& golden = Golden(kLiberation);
  FontInformation info{};
  GetFontInformation(Wide(u"Arial"), EN_STYLE_REGULAR, &info);
  ASSERT_EQ(Loader().Fonts().size(), 1u);
  const FontDataHolder& font = *Loader().Fonts()[0];
  EXPECT_EQ(info.designHeight, 162);
  EXPECT_EQ(info.emSquare, static_cast<int>(2048.0f * 0.162f));
  // ratio = U / depth of "g" below the baseline; the depth is about Liberation's descender
  // (-425 units of 1409 for "A"): about 1000 / 306.
  const CharBufferHolder* g = font.FindCharacter('g');
  ASSERT_NE(g, nullptr);
  const double depth = g->GetMetrics()[kBlackBoxHeight] - g->GetMetrics()[kBlackBoxTop];
  EXPECT_FLOAT_EQ(info.ratio, static_cast<float>(1000.0 / depth));
  EXPECT_NEAR(depth, 1000.0 * 425 / golden.cap_top, 10.0);
  EXPECT_GT(info.ascent, 0);
  EXPECT_LT(info.descent, 0);
  EXPECT_GT(info.boxTop, info.boxBottom);

  UnloadAllFonts();
  EXPECT_TRUE(Loader().Fonts().empty());
  FontInformation again{};
  GetFontInformation(Wide(u"Arial"), EN_STYLE_REGULAR, &again);
  ASSERT_EQ(Loader().Fonts().size(), 1u);
  EXPECT_NE(Loader().Fonts()[0]->FindCharacter('g'), nullptr);
  EXPECT_EQ(std::memcmp(&info, &again, sizeof(info)), 0);
  GetFontInformation(Wide(u"Arial"), EN_STYLE_REGULAR, nullptr);  // loads, writes nothing
}

TEST_F(Registry, InitializeReleasesEveryFont) {
  Loader().LoadFont(u"Arial", 0);
  InitializeTTF(1000.0f);
  EXPECT_TRUE(Loader().Fonts().empty());
}

TEST_F(Registry, SuffixDecidesTheKind) {
  EXPECT_EQ(KindOfFace(u"C:/fonts/txt.shx"), FontKind::kShx);
  EXPECT_EQ(KindOfFace(u"romans.SHX"), FontKind::kShx);
  EXPECT_EQ(KindOfFace(u"a.shx.bak"), FontKind::kTrueType);
  EXPECT_EQ(KindOfFace(u"a.shx.b.shx"), FontKind::kTrueType);  // the first ".SHX" is not last
  EXPECT_EQ(KindOfFace(u"x.fnt"), FontKind::kFnt);
  EXPECT_EQ(KindOfFace(u"x.shx.fnt"), FontKind::kFnt);  // FNT is tested first
  EXPECT_EQ(KindOfFace(u"X.Ovf"), FontKind::kOvf);
  EXPECT_EQ(KindOfFace(u".shx"), FontKind::kShx);
  EXPECT_EQ(KindOfFace(u"shx"), FontKind::kTrueType);
  EXPECT_EQ(KindOfFace(u"Arial"), FontKind::kTrueType);
}

TEST_F(Registry, ShapeFontsOfMissingFilesStayEmpty) {
  // SHX and FNT: no characters, synthesised metrics and the fallback square of side U; an
  // undefined SHX code goes the TrueType way without a GDI font: a record without outline.
  FontDataHolder* shx = Loader().LoadFont(u"/nonexistent/romans.shx", 0);
  EXPECT_EQ(shx->GetFontHandle(), nullptr);
  EXPECT_EQ(shx->GetTextMetrics().tmHeight, 1560);
  EXPECT_EQ(shx->GetOutlineTextMetrics().otmDescent, -294);
  ASSERT_NE(shx->GetFallbackCharacter(), nullptr);
  const CharBufferHolder* c = Loader().LoadCharacter(shx, 'A');
  ASSERT_NE(c, nullptr);
  EXPECT_TRUE(c->GetOutlines().empty());

  FontDataHolder* fnt = Loader().LoadFont(u"/nonexistent/simplex.fnt", 0);
  const CharBufferHolder* square = Loader().LoadCharacter(fnt, 'A');
  ASSERT_EQ(square, fnt->GetFallbackCharacter());
  EXPECT_EQ(square->GetCode(), 0u);
  const CharMetrics expected{1000.0, 1000.0, 0.0, 1000.0, 1000.0, 0.0};
  EXPECT_EQ(square->GetMetrics(), expected);
  EXPECT_TRUE(fnt->GetCharacters().empty());

  // OVF: every code the file lacks is the missing-glyph square of side U.
  FontDataHolder* ovf = Loader().LoadFont(u"/nonexistent/font.ovf", 0);
  const CharBufferHolder* missing = Loader().LoadCharacter(ovf, 'A');
  ASSERT_NE(missing, nullptr);
  EXPECT_EQ(missing->GetMetrics(), expected);
  EXPECT_EQ(Loader().LoadCharacter(nullptr, 'A'), nullptr);
  FontInformation info{};
  GetFontInformation(Wide(u"/nonexistent/font.ovf"), EN_STYLE_REGULAR, &info);
  EXPECT_EQ(info.ratio, 0.0f);
}

TEST(CharacterRecord, MetricsFromABoxFollowTheEmptyCoordinateRule) {
  CharBufferHolder c(7u, std::vector<CQELEntity*>{});
  c.SetMetricsFromBox(NURBSPoint(-5, -20, 1), NURBSPoint(300, 700, 1), 400);
  EXPECT_EQ(c.GetMetrics(), (CharMetrics{305, 720, -5, 700, 400, 0}));
  // A character without geometry: the box keeps its starting values.
  c.SetMetricsFromBox(NURBSPoint(3.4e38, 3.4e38, 1), NURBSPoint(-3.4e38, -3.4e38, 1), 250);
  EXPECT_EQ(c.GetMetrics(), (CharMetrics{250, 0, 0, 0, 250, 0}));
  // 100000 itself is inside the range; just beyond it is empty.
  c.SetMetricsFromBox(NURBSPoint(-100000, 0, 1), NURBSPoint(100000.5, 10, 1), 9);
  EXPECT_EQ(c.GetMetrics(), (CharMetrics{9, 10, -100000, 10, 9, 0}));
  c.Scale(2.0);
  EXPECT_EQ(c.GetMetrics(), (CharMetrics{18, 20, -200000, 20, 18, 0}));
}
