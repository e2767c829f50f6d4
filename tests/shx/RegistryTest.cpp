// SHX fonts through the font registry and the C interface: normalisation on "A" and the list of
// shape numbers that GetCustomFontRange hands out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CharBufferHolder.h"
#include "FontDataHolder.h"
#include "ShxTestSupport.h"
#include "TTFLoader.h"
#include "vuzodo/vuzodo.h"

using namespace vuzodo;

namespace {

std::u16string Wide(const std::string& narrow) {
  return std::u16string(narrow.begin(), narrow.end());
}

std::vector<std::string> FontsWithA() {
  std::vector<std::string> paths = {shxtest::FixturePath("unifont")};
#ifdef SHX_HERSHEY_FIXTURE
  paths.push_back(SHX_HERSHEY_FIXTURE);
#endif
  return paths;
}

TEST(ShxRegistryTest, NormalisedAIsExactlyTheUnitTall) {
  // The unicode fixture's "A" rises 4 of its 4 units; the Hershey "A" 21 of 21. Both stand on
  // the baseline, so after normalising the top and the height are both U.
  for (float unit : {1000.0f, 250.0f}) {
    InitializeTTF(unit);
    for (const std::string& path : FontsWithA()) {
      TTFLoader& loader = TTFLoader::Instance();
      FontDataHolder* font = loader.LoadFont(Wide(path), 0);
      const CharBufferHolder* a = loader.LoadCharacter(font, 'A');
      ASSERT_NE(a, nullptr) << path;
      EXPECT_DOUBLE_EQ(a->GetMetrics()[kBlackBoxTop], unit) << path;
      EXPECT_DOUBLE_EQ(a->GetMetrics()[kBlackBoxHeight], unit) << path;
    }
  }
  InitializeTTF(1000.0f);
}

std::vector<int> CustomFontRange(const std::string& path) {
  InitializeTTF(1000.0f);
  SetDefaults();
  std::u16string face = Wide(path);
  EXPECT_EQ(SetFontFace(reinterpret_cast<unsigned short*>(face.data())), 1);
  int* codes = nullptr;
  const int count = GetCustomFontRange(&codes);
  std::vector<int> list(codes, codes + (count > 0 ? count : 0));
  DeleteTTFData(codes);
  return list;
}

TEST(ShxRegistryTest, CustomFontRangeListsEveryShapeInFileOrder) {
  // The order of the definitions in data/shapes.shp (23 is not defined; 63 precedes 30).
  EXPECT_EQ(CustomFontRange(shxtest::FixturePath("shapes")),
            (std::vector<int>{1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14,
                              15, 16, 17, 18, 19, 20, 21, 22, 24, 25, 26, 63, 30}));
  // Big fonts list their index order, empty slots left out.
  EXPECT_EQ(CustomFontRange(shxtest::FixturePath("bigfont_slots")),
            (std::vector<int>{0x41, 0x8141, 0x8142}));
  EXPECT_EQ(CustomFontRange(shxtest::FixturePath("unifont")),
            (std::vector<int>{0x41, 0x42, 0x4E20}));
  InitializeTTF(1000.0f);
}

}  // namespace
