// Bad input reaches the registry and the exports without crashing or leaking (the sanitizer
// build checks the memory side): rejected and truncated font files, a face of 10,000 units,
// codes outside the UTF-16 range, null pointers and absurd ranges.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "FontTestSupport.h"
#include "TTFLoader.h"
#include "vuzodo/vuzodo.h"

using namespace vuzodo;
using namespace fonttest;

namespace {

class BadInput : public ::testing::Test {
 protected:
  void SetUp() override { InitializeTTF(1000.0f); }
  void TearDown() override {
    InitializeTTF(1000.0f);
    for (const std::string& f : files_) std::remove(f.c_str());
  }
  TTFLoader& Loader() { return TTFLoader::Instance(); }
  static unsigned short* Wide(const std::u16string& s) {
    return const_cast<unsigned short*>(reinterpret_cast<const unsigned short*>(s.c_str()));
  }
  std::u16string TempFont(const std::string& name, const std::string& bytes) {
    const std::string path = "/tmp/vuzodo-fonts-" + std::to_string(getpid()) + "-" + name + ".ttf";
    std::ofstream(path, std::ios::binary) << bytes;
    files_.push_back(path);
    return Utf16(path);
  }
  // Every font must give a usable record for "A" with finite metrics, or none at all.
  static void ExpectSane(const CharBufferHolder* c) {
    if (c == nullptr) return;
    for (double m : c->GetMetrics()) EXPECT_TRUE(std::isfinite(m));
  }
  std::vector<std::string> files_;
};

}  // namespace

TEST_F(BadInput, RejectedAndTruncatedFilesGiveTheSubstituteFont) {
  std::ifstream in("/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
                   std::ios::binary);
  const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(whole.size(), 4000u);
  for (const std::u16string& face :
       {TempFont("junk", std::string(5000, 'x')), TempFont("truncated", whole.substr(0, 3000)),
        TempFont("empty", ""), Utf16("/nonexistent/dir/font.ttf")}) {
    FontDataHolder* font = Loader().LoadFont(face, 0);
    ASSERT_NE(font, nullptr);
    const CharBufferHolder* a = Loader().LoadCharacter(font, 'A');
    ExpectSane(a);
    // The default face stands in: "A" is still normalised to about U.
    ASSERT_NE(a, nullptr);
    EXPECT_NEAR(a->GetMetrics()[kBlackBoxTop], 1000.0, 10.0);
    LoadCharacterRange(Wide(face), EN_STYLE_REGULAR, 0, 300);
  }
}

TEST_F(BadInput, LongFacesAndOddCodes) {
  const std::u16string longest(10000, u'x');
  LoadCharacterRange(Wide(longest), EN_STYLE_BOLD, 60, 70);
  ASSERT_EQ(Loader().Fonts().size(), 1u);
  EXPECT_EQ(Loader().Fonts()[0]->GetFace(), longest);  // kept whole, not cut at 31 units
  EXPECT_EQ(Loader().Fonts()[0]->GetCharacters().size(), 11u);

  // A path longer than lfFaceName still names its file.
  const std::u16string liberation(kLiberation);
  ASSERT_GT(liberation.size(), 31u);
  FontDataHolder* lib = Loader().LoadFont(liberation, 0);
  EXPECT_EQ(lib->GetDesignHeight(), 162);

  // 0xFFFF is no character: the font's missing-glyph box, still a sane record.
  const CharBufferHolder* none = Loader().LoadCharacter(lib, 0xFFFF);
  ASSERT_NE(none, nullptr);
  ExpectSane(none);
  // Codes past the UTF-16 range and negative ones are passed over by the set export.
  int codes[] = {-1, 0x10000, 0x7FFFFFFF, 'A', 0};
  LoadCharacterSet(Wide(liberation), EN_STYLE_REGULAR, codes, 5);
  EXPECT_NE(lib->FindCharacter('A'), nullptr);
  EXPECT_NE(lib->FindCharacter(0), nullptr);
  EXPECT_EQ(lib->FindCharacter(0x10000), nullptr);
}

TEST_F(BadInput, NullPointersAndAbsurdRanges) {
  LoadCharacterSet(Wide(u"Arial"), EN_STYLE_REGULAR, nullptr, 5);
  LoadCharacterSet(Wide(u"Arial"), EN_STYLE_REGULAR, nullptr, -5);
  int one = 'A';
  LoadCharacterSet(Wide(u"Arial"), EN_STYLE_REGULAR, &one, -3);
  LoadCharacterSet(nullptr, EN_STYLE_REGULAR, &one, 1);
  LoadCharacterRange(nullptr, EN_STYLE_REGULAR, 0, 10);
  GetFontInformation(nullptr, EN_STYLE_REGULAR, nullptr);
  ASSERT_EQ(Loader().Fonts().size(), 1u);
  EXPECT_TRUE(Loader().Fonts()[0]->GetCharacters().empty());
  // A range reaching past the UTF-16 units is clamped to them; a range wholly outside builds
  // nothing.
  LoadCharacterRange(Wide(u"Arial"), EN_STYLE_REGULAR, 0x10000, 0x7FFFFFFF);
  LoadCharacterRange(Wide(u"Arial"), EN_STYLE_REGULAR, -0x7FFFFFFF - 1, -1);
  EXPECT_TRUE(Loader().Fonts()[0]->GetCharacters().empty());
  LoadCharacterRange(Wide(u"Arial"), EN_STYLE_REGULAR, 0xFFF0, 0x7FFFFFFF);
  EXPECT_EQ(Loader().Fonts()[0]->GetCharacters().size(), 16u);
  // Styles outside the enumeration are entries of their own (weight "don't care").
  LoadCharacterRange(Wide(u"Arial"), static_cast<EN_TTFFontStyle>(7), 65, 65);
  EXPECT_EQ(Loader().Fonts().size(), 2u);
}

TEST_F(BadInput, TheWidestRangeBuildsEveryUtf16UnitOnce) {
  LoadCharacterRange(Wide(u"Arial"), EN_STYLE_REGULAR, 0, 0x7FFFFFFF);
  ASSERT_EQ(Loader().Fonts().size(), 1u);
  EXPECT_EQ(Loader().Fonts()[0]->GetCharacters().size(), 0x10000u);
}
