// The Hershey "futural" font converted from its .jhf text (tools/hershey/jhf2shp.py) and
// compiled by the shape compiler: a font of realistic size. Expected strokes are decoded by hand
// from the .jhf records: a coordinate is its letter's distance from 'R', y grows downwards, the
// first pair gives the left and right margins. The conversion puts the origin at the left margin
// on the baseline 9 units below the Hershey origin: x' = x - left, y' = 9 - y. The font height
// is 21, so output units are shape units / 21.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "SHXFontHandler.h"
#include "ShxTestSupport.h"

using namespace vuzodo;

namespace {

#ifdef SHX_HERSHEY_FIXTURE
constexpr const char* kFont = SHX_HERSHEY_FIXTURE;
#else
constexpr const char* kFont = nullptr;
#endif

struct Stroke {
  bool closed;
  std::vector<std::pair<double, double>> points;  // shape units
};

struct Glyph {
  int code;
  double advance;  // right margin - left margin
  std::vector<Stroke> strokes;
};

TEST(HersheyTest, EveryGlyphBecomesAShape) {
  if (kFont == nullptr) GTEST_SKIP() << "hershey-fonts-data is not installed";
  SHXFontHandler handler;
  handler.OpenNarrow(kFont);
  // futural.jhf has 96 records, the printable ASCII range from the space to 127.
  ASSERT_EQ(handler.GetShapes().size(), 96u);
  for (std::size_t k = 0; k < handler.GetShapes().size(); ++k) {
    EXPECT_EQ(handler.GetShapes()[k]->GetShapeNumber(), static_cast<int>(32 + k));
  }
  EXPECT_EQ(handler.GetFont().above_, 21);
  EXPECT_EQ(handler.GetFont().name_, "HERSHEY FUTURAL");
  // Every shape builds without refusal.
  EXPECT_EQ(SHXFontHandler::BuildAllShapes(std::string(kFont)).size(), 96u);
}

TEST(HersheyTest, StrokesEqualTheJhfCoordinates) {
  if (kFont == nullptr) GTEST_SKIP() << "hershey-fonts-data is not installed";
  const std::vector<Glyph> glyphs = {
      // "!"  9MWRFRT RRYQZR[SZRY: margins M, W = -5, 5. RF RT = (0,-12) (0,2) -> (5,21) (5,7);
      // RY QZ R[ SZ RY = (0,7) (-1,8) (0,9) (1,8) (0,7): back to its start, so closed.
      {'!', 10, {{false, {{5, 21}, {5, 7}}}, {true, {{5, 2}, {4, 1}, {5, 0}, {6, 1}}}}},
      // "1"  5H\NJPISFS[: margins H, \ = -10, 10. NJ PI SF S[ = (-4,-8) (-2,-9) (1,-12) (1,9).
      {'1', 20, {{false, {{6, 17}, {8, 18}, {11, 21}, {11, 0}}}}},
      // "A"  9I[RFJ[ RRFZ[ RMTWT: margins I, [ = -9, 9. RF J[ = (0,-12) (-8,9); RF Z[ =
      // (0,-12) (8,9); MT WT = (-5,2) (5,2).
      {'A',
       18,
       {{false, {{9, 21}, {1, 0}}}, {false, {{9, 21}, {17, 0}}}, {false, {{4, 7}, {14, 7}}}}},
  };
  SHXFontHandler handler;
  handler.OpenNarrow(kFont);
  for (const Glyph& glyph : glyphs) {
    auto built = handler.BuildShape(glyph.code);
    ASSERT_TRUE(built.has_value()) << glyph.code;
    shxtest::Outline outline(std::move(*built));
    EXPECT_NEAR(handler.GetAdvance() * 21, glyph.advance, 1e-9) << char(glyph.code);
    ASSERT_EQ(outline.entities.size(), glyph.strokes.size()) << char(glyph.code);
    for (std::size_t s = 0; s < glyph.strokes.size(); ++s) {
      ASSERT_EQ(outline.entities[s]->GetType(), CQELEntity::kPolyLine);
      const auto* poly = static_cast<const CQELPolyLine*>(outline.entities[s]);
      EXPECT_EQ(poly->GetClosed() != 0, glyph.strokes[s].closed) << char(glyph.code) << s;
      const auto& points = poly->GetPoints();
      ASSERT_EQ(points.size(), glyph.strokes[s].points.size()) << char(glyph.code) << s;
      for (std::size_t p = 0; p < points.size(); ++p) {
        EXPECT_NEAR(points[p].GetX() * 21, glyph.strokes[s].points[p].first, 1e-9)
            << char(glyph.code) << " stroke " << s << " point " << p;
        EXPECT_NEAR(points[p].GetY() * 21, glyph.strokes[s].points[p].second, 1e-9)
            << char(glyph.code) << " stroke " << s << " point " << p;
      }
    }
  }
}

}  // namespace
