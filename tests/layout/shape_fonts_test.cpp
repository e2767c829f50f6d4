// SHX, OVF and FNT fonts through the font registry and the layout, on the
// project's hand-made fixtures. Expected geometry is worked from the fixture
// sources (tests/ovf/data/commands.txt, tests/shx/data/shapes.shp).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "CharBufferHolder.h"
#include "FontDataHolder.h"
#include "TTFLoader.h"
#include "vuzodo/vuzodo.h"

using namespace vuzodo;

namespace {

std::u16string Path(const std::string& narrow) {
  return std::u16string(narrow.begin(), narrow.end());
}

void UseFace(const std::string& path) {
  std::u16string face = Path(path);
  SetFontFace(reinterpret_cast<unsigned short*>(face.data()));
}

int AppendEx(std::u16string text) {
  return AppendCharactersEx(reinterpret_cast<unsigned short*>(text.data()));
}

// Pen-relative records of one character as the absolute end points of every
// straight draw.
std::vector<std::pair<int, int>> DrawPoints(int index) {
  int* data = nullptr;
  const int n = GetOutLinesEx(index, EN_RT_BORDER, &data, nullptr);
  std::vector<std::pair<int, int>> points;
  int x = 0, y = 0;
  for (int p = 0; p + 2 < n;) {
    const int nx = x + data[p + 1], ny = y + data[p + 2];
    if (data[p] == 41) {
      points.emplace_back(x, y);
      points.emplace_back(nx, ny);
    }
    x = nx;
    y = ny;
    p += data[p] == 42 ? 5 : 3;
  }
  DeleteTTFData(data);
  return points;
}

class ShapeFonts : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeTTF(1000.0f);
    SetDefaults();
  }
};

}  // namespace

TEST_F(ShapeFonts, OvfGlyphsAreScaledByTheUnitOverTheHeightField) {
  // Height field 10, so one font unit is 100 output units; the ink box of each glyph's draws.
  //   L: the line (0, 0)-(4, 8).
  //   E: ellipses a = 4, b = 2 about (6, 5) after the move by (1, 2): the upper half
  //      (x 2..10, y 5..7) and, turned by 90 degrees, t 0..1 from (6, 9) to y 5 + 4 cos 1.
  struct Row {
    char16_t code;
    int min_x, min_y, max_x, max_y;
  };
  const Row rows[] = {{u'L', 0, 0, 400, 800}, {u'E', 200, 500, 1000, 900}};
  UseFace(VUZODO_OVF_DATA "/commands.ovf");
  for (const Row& r : rows) {
    FinishText();
    ASSERT_EQ(AppendEx(std::u16string(1, r.code)), 1);
    const auto points = DrawPoints(0);
    ASSERT_FALSE(points.empty());
    int min_x = points[0].first, max_x = min_x, min_y = points[0].second, max_y = min_y;
    for (auto [x, y] : points) {
      min_x = std::min(min_x, x), max_x = std::max(max_x, x);
      min_y = std::min(min_y, y), max_y = std::max(max_y, y);
    }
    EXPECT_EQ(min_x, r.min_x) << char(r.code);
    EXPECT_EQ(min_y, r.min_y) << char(r.code);
    EXPECT_EQ(max_x, r.max_x) << char(r.code);
    EXPECT_EQ(max_y, r.max_y) << char(r.code);
  }
  // A code the file lacks is the missing-glyph square of side U, built once under its own code:
  // the font lists it once however often it is asked for.
  TTFLoader& loader = TTFLoader::Instance();
  FontDataHolder* font = loader.LoadFont(Path(VUZODO_OVF_DATA "/commands.ovf"), 0);
  const CharBufferHolder* missing = loader.LoadCharacter(font, 'z');
  ASSERT_NE(missing, nullptr);
  EXPECT_EQ(missing->GetMetrics()[kAdvanceX], 1000.0);
  ASSERT_EQ(AppendEx(u"zz"), 1);
  int* codes = nullptr;
  const int n = GetCustomFontRange(&codes);
  EXPECT_EQ(std::vector<int>(codes, codes + n), (std::vector<int>{'L', 'E', 'z'}));
  DeleteTTFData(codes);
}

TEST_F(ShapeFonts, FntFontsAreNormalisedOnTheirA) {
  UseFace(VUZODO_OVF_DATA "/hershey.fnt");
  ASSERT_EQ(AppendEx(u"AB"), 1);
  EXPECT_EQ(GetCharacterCount(-1), 2);
  int top = -1000000, bottom = 1000000;
  for (auto [x, y] : DrawPoints(0)) {
    top = std::max(top, y);
    bottom = std::min(bottom, y);
  }
  EXPECT_NEAR(top - bottom, 1000, 10);
  // Codes the font does not define are the fallback square.
  TTFLoader& loader = TTFLoader::Instance();
  FontDataHolder* font = loader.LoadFont(Path(VUZODO_OVF_DATA "/hershey.fnt"), 0);
  EXPECT_EQ(loader.LoadCharacter(font, 'q'), font->GetFallbackCharacter());
}

TEST_F(ShapeFonts, ShxShapesAreListedInFileOrderAndBuiltWhenAskedFor) {
  TTFLoader& loader = TTFLoader::Instance();
  FontDataHolder* font = loader.LoadFont(Path(VUZODO_SHX_FIXTURES "/shapes.shx"), 0);
  const std::vector<std::uint32_t> codes = font->ListCharacterCodes();
  ASSERT_GT(codes.size(), 20u);
  EXPECT_EQ(codes[0], 1u);  // shape 0 is the font's name
  const CharBufferHolder* box = loader.LoadCharacter(font, 3);
  ASSERT_NE(box, nullptr);
  EXPECT_FALSE(box->GetOutlines().empty());
  ASSERT_NE(font->GetFallbackCharacter(), nullptr);
  // Text in the font lays out and its array returns to the origin.
  UseFace(VUZODO_SHX_FIXTURES "/shapes.shx");
  ASSERT_EQ(AppendEx(std::u16string{u'\x03', u'\x08', u'\x0c', u'\x1e'}), 1);
  int* data = nullptr;
  const int n = GetOutLinesEx(-1, EN_RT_BORDER, &data, nullptr);
  long sx = 0, sy = 0;
  for (int p = 0; p + 2 < n; p += data[p] == 42 ? 5 : 3) {
    sx += data[p + 1];
    sy += data[p + 2];
  }
  DeleteTTFData(data);
  EXPECT_EQ(sx, 0);
  EXPECT_EQ(sy, 0);
}
