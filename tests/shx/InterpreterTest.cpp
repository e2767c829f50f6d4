// The shape interpreter against outlines worked out by hand from the command definitions.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>

#include "SHXFontHandler.h"
#include "ShxTestSupport.h"

using namespace vuzodo;
using shxtest::Outline;

namespace {

struct GoldenCase {
  const char* fixture;
  const char* golden;
};

void PrintTo(const GoldenCase& c, std::ostream* os) {
  *os << c.fixture;
}

class GoldenTest : public testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenTest, EveryShapeMatchesItsHandWorkedOutline) {
  SHXFontHandler handler;
  handler.OpenNarrow(shxtest::FixturePath(GetParam().fixture));
  const auto goldens = shxtest::LoadGolden(GetParam().golden);
  ASSERT_FALSE(goldens.empty());
  for (const auto& golden : goldens) {
    auto built = handler.BuildShape(golden.code);
    ASSERT_TRUE(built.has_value()) << "shape " << golden.code;
    Outline outline(std::move(*built));
    EXPECT_FALSE(handler.WasRefused()) << "shape " << golden.code;
    EXPECT_TRUE(shxtest::MatchesGolden(outline.entities, golden));
    EXPECT_NEAR(handler.GetAdvance(), golden.advance, 1e-9) << "shape " << golden.code;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, GoldenTest,
    testing::Values(GoldenCase{"shapes", "shapes"}, GoldenCase{"shapes11", "shapes"},
                    GoldenCase{"unifont", "unifont"}, GoldenCase{"bigfont", "bigfont"},
                    GoldenCase{"bigfont_slots", "bigfont"}, GoldenCase{"extbig", "extbig"}),
    [](const auto& info) { return std::string(info.param.fixture); });

// Builds a one-shape unicode font of height 1 and returns the outline of that shape.
struct OneShape {
  explicit OneShape(std::vector<unsigned char> bytes) {
    handler.OpenBytes(shxtest::MakeUnifont(1, {{100, std::move(bytes)}}));
    auto built = handler.BuildShape(100);
    if (built) entities = std::move(*built);
  }
  ~OneShape() { DeleteEntities(entities); }
  SHXFontHandler handler;
  std::vector<CQELEntity*> entities;
};

TEST(VectorTest, LengthAndDirectionFromTheByte) {
  // Length 4 in direction 2 is four diagonal grid steps; 0x2C is (0, -2).
  struct Case {
    unsigned char byte;
    double x, y;
  };
  for (const Case& c : {Case{0x42, 4, 4}, Case{0x2C, 0, -2}, Case{0x14, 0, 1}, Case{0x11, 1, 0.5},
                        Case{0x13, 0.5, 1}, Case{0xF5, -7.5, 15}, Case{0x1E, 1, -1}}) {
    OneShape shape({c.byte});
    ASSERT_EQ(shape.entities.size(), 1u);
    const auto& points = static_cast<CQELPolyLine*>(shape.entities[0])->GetPoints();
    ASSERT_EQ(points.size(), 2u);
    EXPECT_NEAR(points[1].GetX(), c.x, 1e-12) << int(c.byte);
    EXPECT_NEAR(points[1].GetY(), c.y, 1e-12) << int(c.byte);
  }
}

TEST(ArcTest, OctantQuarterArcFromOctantZero) {
  // Radius 3, octants 0 to 2 counterclockwise: centre 3 to the left of the pen, a quarter turn.
  OneShape shape({10, 3, 0x02, 0x14});
  ASSERT_EQ(shape.entities.size(), 2u);
  const auto* arc = static_cast<CQELEllipticalArc*>(shape.entities[0]);
  ASSERT_EQ(arc->GetType(), CQELEntity::kEllipticalArc);
  EXPECT_NEAR(arc->GetCenter().GetX(), -3.0, 1e-12);
  EXPECT_NEAR(arc->GetCenter().GetY(), 0.0, 1e-12);
  EXPECT_NEAR(arc->GetAxisPoint().GetX(), 3.0, 1e-12);
  EXPECT_NEAR(arc->GetStartAngle(), 0.0, 1e-12);
  EXPECT_NEAR(arc->GetSweep(), M_PI / 2, 1e-12);
  // The stroke after it starts at the arc's end, (-3, 3).
  const auto& points = static_cast<CQELPolyLine*>(shape.entities[1])->GetPoints();
  EXPECT_NEAR(points[0].GetX(), -3.0, 1e-12);
  EXPECT_NEAR(points[0].GetY(), 3.0, 1e-12);
}

TEST(ArcTest, ScaleFactorAppliesToRadiiAndChords) {
  // x2 then: octant arc radius 1 -> 2; bulge chord (1, 0) -> (2, 0) with radius 1.
  OneShape shape({4, 2, 10, 1, 0x04, 12, 1, 0, 127});
  ASSERT_EQ(shape.entities.size(), 2u);
  const auto* circle = static_cast<CQELEllipticalArc*>(shape.entities[0]);
  EXPECT_NEAR(circle->GetAxisPoint().GetX(), 2.0, 1e-12);
  EXPECT_NEAR(circle->GetSweep(), M_PI, 1e-12);  // four octants
  // After the half circle the pen is at (-4, 0); the bulge arc is centred 1 to its right.
  const auto* half = static_cast<CQELEllipticalArc*>(shape.entities[1]);
  EXPECT_NEAR(half->GetCenter().GetX(), -3.0, 1e-12);
  EXPECT_NEAR(half->GetAxisPoint().GetX(), 1.0, 1e-12);
  EXPECT_NEAR(shape.handler.GetAdvance(), -2.0, 1e-12);
}

TEST(ArcTest, BulgeHalfCircleBoxAndShallowBulge) {
  // Bulge 127 over chord (2, 0): the box reaches one below the chord.
  OneShape half({12, 2, 0, 127});
  NURBSPoint min, max;
  half.handler.GetBoundingBox(min, max);
  EXPECT_NEAR(min.GetX(), 0.0, 1e-12);
  EXPECT_NEAR(min.GetY(), -1.0, 1e-12);
  EXPECT_NEAR(max.GetX(), 2.0, 1e-12);
  EXPECT_NEAR(max.GetY(), 0.0, 1e-12);
  // Bulge -63 over chord (0, 4): sagitta h = 4 * 63 / 254, radius (2^2 + h^2) / (2h). A
  // clockwise arc bows to the left of its chord, so the centre lies to the right at (r - h, 2).
  OneShape shallow({12, 0, 4, 0xC1});
  ASSERT_EQ(shallow.entities.size(), 1u);
  const auto* arc = static_cast<CQELEllipticalArc*>(shallow.entities[0]);
  const double h = 4.0 * 63 / 254;
  const double r = (4.0 + h * h) / (2 * h);
  EXPECT_NEAR(arc->GetAxisPoint().GetX(), r, 1e-12);
  EXPECT_NEAR(arc->GetCenter().GetX(), r - h, 1e-12);
  EXPECT_NEAR(arc->GetCenter().GetY(), 2.0, 1e-12);
  EXPECT_LT(arc->GetSweep(), 0.0);
  EXPECT_NEAR(arc->GetSweep(), -2 * std::atan2(2.0, r - h), 1e-12);
}

TEST(PenTest, PenUpMoveThenStrokeStartsAtTheMovedPosition) {
  OneShape shape({0x14, 2, 0x20, 1, 0x14});
  ASSERT_EQ(shape.entities.size(), 2u);
  const auto& second = static_cast<CQELPolyLine*>(shape.entities[1])->GetPoints();
  EXPECT_DOUBLE_EQ(second[0].GetX(), 2.0);
  EXPECT_DOUBLE_EQ(second[0].GetY(), 1.0);
}

TEST(PenTest, PenUpArcMovesOnlyAndNearlyClosedStrokeCloses) {
  // Pen up, quarter arc radius 1 from octant 0: no arc, pen ends at (-1, 1).
  OneShape arc({2, 10, 1, 0x02, 1, 0x10});
  ASSERT_EQ(arc.entities.size(), 1u);
  const auto& pts = static_cast<CQELPolyLine*>(arc.entities[0])->GetPoints();
  EXPECT_NEAR(pts[0].GetX(), -1.0, 1e-12);
  EXPECT_NEAR(pts[0].GetY(), 1.0, 1e-12);
  // A stroke of thirds (scale divided by 3) back to its start is closed without a repeat.
  OneShape closed({3, 3, 0x10, 0x14, 0x18, 0x1C});
  ASSERT_EQ(closed.entities.size(), 1u);
  const auto* poly = static_cast<CQELPolyLine*>(closed.entities[0]);
  EXPECT_EQ(poly->GetClosed(), 1);
  EXPECT_EQ(poly->GetPoints().size(), 4u);
}

TEST(PenTest, StrokeClosesOnlyWithinAThousandth) {
  // Scale 1/2000, then (100,0), (0,100), (-99,-100): the stroke ends 0.0005 right of its start
  // and closes, dropping the end point. With (-97,-100) it ends 0.0015 away and stays open.
  OneShape near({3, 200, 3, 10, 8, 100, 0, 8, 0, 100, 8, 0x9D, 0x9C});
  ASSERT_EQ(near.entities.size(), 1u);
  const auto* closed = static_cast<CQELPolyLine*>(near.entities[0]);
  EXPECT_EQ(closed->GetClosed(), 1);
  ASSERT_EQ(closed->GetPoints().size(), 3u);
  EXPECT_NEAR(closed->GetPoints()[2].GetX(), 0.05, 1e-15);
  EXPECT_NEAR(closed->GetPoints()[2].GetY(), 0.05, 1e-15);
  OneShape far({3, 200, 3, 10, 8, 100, 0, 8, 0, 100, 8, 0x9F, 0x9C});
  ASSERT_EQ(far.entities.size(), 1u);
  const auto* open = static_cast<CQELPolyLine*>(far.entities[0]);
  EXPECT_EQ(open->GetClosed(), 0);
  ASSERT_EQ(open->GetPoints().size(), 4u);
  EXPECT_NEAR(open->GetPoints()[3].GetX(), 0.0015, 1e-15);
}

TEST(ArcTest, FractionalArcFullCircles) {
  // Code 11, radius 1, no offsets, count 0, clockwise (SC 0x80): start (0 - 0) octants = 0,
  // centre (-1, 0); the end is also 0 (+2 pi since s = c), which the angle rule brings back to
  // the start, so the clockwise sweep is a whole turn and the pen ends where it began.
  OneShape circle({11, 0, 0, 0, 1, 0x80, 0x10});
  ASSERT_EQ(circle.entities.size(), 2u);
  const auto* arc = static_cast<CQELEllipticalArc*>(circle.entities[0]);
  ASSERT_EQ(arc->GetType(), CQELEntity::kEllipticalArc);
  EXPECT_NEAR(arc->GetCenter().GetX(), -1.0, 1e-12);
  EXPECT_NEAR(arc->GetCenter().GetY(), 0.0, 1e-12);
  EXPECT_NEAR(arc->GetAxisPoint().GetX(), 1.0, 1e-12);
  EXPECT_NEAR(arc->GetStartAngle(), 0.0, 1e-12);
  EXPECT_NEAR(arc->GetSweep(), -2 * M_PI, 1e-12);
  const auto& after = static_cast<CQELPolyLine*>(circle.entities[1])->GetPoints();
  EXPECT_NEAR(after[0].GetX(), 0.0, 1e-12);
  EXPECT_NEAR(after[0].GetY(), 0.0, 1e-12);
  // Radius 2 from octant 3 (SC 0xB0): start 3 pi/4, centre 2 (cos pi/4, -sin pi/4), again a
  // whole turn.
  OneShape three({11, 0, 0, 0, 2, 0xB0});
  ASSERT_EQ(three.entities.size(), 1u);
  const auto* arc3 = static_cast<CQELEllipticalArc*>(three.entities[0]);
  EXPECT_NEAR(arc3->GetCenter().GetX(), 2 * std::cos(M_PI / 4), 1e-12);
  EXPECT_NEAR(arc3->GetCenter().GetY(), -2 * std::sin(M_PI / 4), 1e-12);
  EXPECT_NEAR(arc3->GetStartAngle(), 3 * M_PI / 4, 1e-12);
  EXPECT_NEAR(arc3->GetSweep(), -2 * M_PI, 1e-12);
  EXPECT_NEAR(three.handler.GetAdvance(), 0.0, 1e-12);
  // Odd but kept: counterclockwise, the same operands end at the start angle itself, so the
  // arc has no sweep at all (code 10 with count 0 is a full circle either way).
  OneShape ccw({11, 0, 0, 0, 1, 0x00});
  ASSERT_EQ(ccw.entities.size(), 1u);
  EXPECT_NEAR(static_cast<CQELEllipticalArc*>(ccw.entities[0])->GetSweep(), 0.0, 1e-12);
  OneShape octant({10, 1, 0x00});
  ASSERT_EQ(octant.entities.size(), 1u);
  EXPECT_NEAR(static_cast<CQELEllipticalArc*>(octant.entities[0])->GetSweep(), 2 * M_PI, 1e-12);
}

// Every shape of every fixture: the box holds the outline and the advance is the pen's end x.
TEST(InvariantTest, BoxesContainOutlinesInEveryFixture) {
  for (const char* name : {"shapes", "unifont", "bigfont", "extbig"}) {
    SHXFontHandler handler;
    handler.OpenNarrow(shxtest::FixturePath(name));
    ASSERT_FALSE(handler.GetShapes().empty()) << name;
    auto all = SHXFontHandler::BuildAllShapes(shxtest::FixturePath(name));
    ASSERT_EQ(all.size(), handler.GetShapes().size()) << name;
    for (std::size_t k = 0; k < all.size(); ++k) {
      EXPECT_EQ(all[k].code, handler.GetShapes()[k]->GetShapeNumber());
      EXPECT_TRUE(shxtest::BoxContains(all[k].entities, all[k].min, all[k].max))
          << name << " shape " << all[k].code;
      auto again = handler.BuildShape(all[k].code);
      Outline outline(std::move(*again));
      EXPECT_EQ(all[k].advance, handler.GetAdvance());
    }
  }
}

}  // namespace
