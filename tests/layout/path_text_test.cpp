// Text on a path on Liberation Sans. Positions are worked from the font's
// metrics and the path geometry by hand: a straight path along x is the
// horizontal baseline moved by the start position; on a circle of radius R
// the arc length L from the start lies at the angle L / R.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "ColumnPathSupport.h"
#include "QELEntity.h"
#include "TTFState.h"

using namespace vuzodo;
using namespace column_path;

namespace {

constexpr double kPi = std::numbers::pi;

class PathText : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeTTF(1000.0f);
    SetDefaults();
  }
  // A straight path along the x axis from the origin, `length` user units.
  static void StraightPath(float length, float start) {
    float points[4] = {0.0f, 0.0f, length, 0.0f};
    ASSERT_EQ(SetNurbPathPolyline(points, 4, start), 1);
    SetModePathText();
  }
};

double Radius(const Point& p) {
  return std::hypot(static_cast<double>(p.x), p.y);
}

}  // namespace

TEST_F(PathText, OnAStraightPathTheOutlinesAreHorizontalTextMovedByTheStart) {
  SetHorizontalCharGap(0.1f);
  Append(u"Wave AV");
  const std::vector<Point> horizontal = Drawn(Array());
  ASSERT_GT(horizontal.size(), 20u);
  FinishText();
  for (bool bend : {false, true}) {
    SCOPED_TRACE(bend ? "bent" : "plain");
    FinishText();
    SetDeformPathCharacters(bend ? EN_TRUE : EN_FALSE);
    StraightPath(30.0f, 1.5f);
    Append(u"Wave AV");
    EXPECT_EQ(GetCharacterCount(-1), 7);
    const std::vector<Point> path = Drawn(Array());
    ASSERT_EQ(path.size(), horizontal.size());
    for (size_t i = 0; i < path.size(); ++i) {
      EXPECT_EQ(path[i].code, horizontal[i].code) << i;
      // The path's glyph transform is held in single precision.
      EXPECT_NEAR(path[i].x, horizontal[i].x + 1500, 1) << i;
      EXPECT_NEAR(path[i].y, horizontal[i].y, 1) << i;
    }
  }
}

TEST_F(PathText, TextLongerThanThePathStopsAtTheLastCharacterThatFits) {
  SetHorizontalCharGap(0.2f);
  StraightPath(5.0f, 0.3f);
  Append(u"AAAAAAAAAAAA");
  // By hand: character i starts at 300 + i * (advance + 200) and fits while
  // its far edge stays within 5000.
  const double adv = Metrics('A')[kAdvanceX];
  int fit = 0;
  while (300.0 + fit * (adv + 200.0) + adv <= 5000.0) ++fit;
  ASSERT_GT(fit, 2);
  ASSERT_LT(fit, 12);
  EXPECT_EQ(GetCharacterCount(-1), fit);
  // The position is where the first dropped character would have started.
  EXPECT_NEAR(GetPathLengthOfCharacters(), 300.0 + fit * (adv + 200.0), 0.01);
  EXPECT_LE(ExtentOf(Drawn(Array())).max_x, 5000.0);
  // A further append drops its character too; only the gap is passed.
  const float before = GetPathLengthOfCharacters();
  Append(u"A");
  EXPECT_EQ(GetCharacterCount(-1), fit);
  EXPECT_NEAR(GetPathLengthOfCharacters(), before + 200.0, 0.01);
}

TEST_F(PathText, ASecondAppendContinuesFromThePathPositionAfterAGap) {
  SetHorizontalCharGap(0.15f);
  SetNurbPathCircleCW(6.0f, 0.0f, 0.0f, 0.3f);
  SetModePathText();
  Append(u"ABC");
  const std::vector<int> whole = Array();
  const float position = GetPathLengthOfCharacters();
  const double adv = Metrics('A')[kAdvanceX] + Metrics('B')[kAdvanceX] + Metrics('C')[kAdvanceX];
  EXPECT_NEAR(position, adv + 2 * 150.0, 0.01);
  FinishText();  // the position goes back to 0; the path stays
  Append(u"AB");
  Append(u"C");
  EXPECT_EQ(Array(), whole);
  EXPECT_EQ(GetPathLengthOfCharacters(), position);
  EXPECT_EQ(Carets().size(), 3u);
}

TEST_F(PathText, AlignmentAndSpacingMoveTheBaselineAlongTheLeftNormal) {
  const OUTLINETEXTMETRICW& otm = Font()->GetOutlineTextMetrics();
  const TEXTMETRICW& tm = Font()->GetTextMetrics();
  SetTextHeight(1.5f);
  auto bottom_of_h = [](int align, double spacing) {
    FinishText();
    StraightPath(20.0f, 0.0f);
    SetPathTextAlign(static_cast<EN_PathTextAlign>(align));
    SetPathTextSpacing(spacing);
    Append(u"H");
    return ExtentOf(Drawn(Array())).min_y;
  };
  const double base = bottom_of_h(0, 0.0);
  EXPECT_NEAR(base, 0.0, 1.0);  // H stands on the baseline
  EXPECT_NEAR(bottom_of_h(1, 0.0) - base, -1.5 * otm.otmAscent, 1.0);
  EXPECT_NEAR(bottom_of_h(2, 0.0) - base, 1.5 * tm.tmDescent, 1.0);
  EXPECT_NEAR(bottom_of_h(3, 0.0) - base, -1.5 * otm.otmsStrikeoutPosition, 1.0);
  EXPECT_NEAR(bottom_of_h(9, 0.0) - base, 0.0, 1.0);  // unknown values act as 0
  EXPECT_NEAR(bottom_of_h(1, 0.25) - base, 250.0 - 1.5 * otm.otmAscent, 1.0);
}

TEST_F(PathText, TheLeftNormalIsOutsideAClockwiseCircleAndInsideACounterClockwiseOne) {
  const double r = 5000.0, cap = Metrics('H')[kBlackBoxTop];
  // The chords of the sampled circle lie up to r (1 - cos 2 degrees) inside
  // it; a straight glyph's baseline ends, half a cell off the path point along
  // the chord, lie up to (half cell)^2 / 2r outside it.
  const double sag = r * (1.0 - std::cos(kPi / 90.0)) + 1.0;
  const double half = Metrics('H')[kAdvanceX] / 2;
  const double overhang = half * half / (2 * r) + 1.0;
  struct Case {
    bool ccw, flip;
    double spacing;
    int align;
    bool outside;
  };
  const Case cases[] = {{false, false, 0.0, 0, true}, {true, false, 0.0, 0, false},
                        {false, true, 0.0, 0, false}, {true, true, 0.0, 0, true},
                        {false, false, 0.5, 0, true}, {false, false, 0.0, 1, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "ccw " << c.ccw << " flip " << c.flip << " spacing "
                                    << c.spacing << " align " << c.align);
    FinishText();
    SetPathTextFlip(EN_FALSE);
    if (c.ccw) {
      SetNurbPathCircleCCW(5.0f, 0.0f, 0.0f, 0.0f);
    } else {
      SetNurbPathCircleCW(5.0f, 0.0f, 0.0f, 0.0f);
    }
    // Flipping an existing path reverses it.
    SetPathTextFlip(c.flip ? EN_TRUE : EN_FALSE);
    SetPathTextSpacing(c.spacing);
    SetPathTextAlign(static_cast<EN_PathTextAlign>(c.align));
    SetModePathText();
    Append(u"HHHH");
    ASSERT_EQ(GetCharacterCount(-1), 4);
    const double lift = c.spacing * 1000.0;
    for (const Point& p : Drawn(Array())) {
      if (c.outside) {
        EXPECT_GE(Radius(p), r + lift - sag);
        EXPECT_LE(Radius(p), r + lift + cap * 1.1);
      } else {
        EXPECT_LE(Radius(p), r + overhang);
        EXPECT_GE(Radius(p), r - cap * 1.2);
      }
    }
  }
}

TEST_F(PathText, ACharacterCentredOnTheTopOfAClockwiseCircleStandsUpright) {
  const double r = 5000.0;
  const CharMetrics h = Metrics('H');
  const double half = h[kAdvanceX] / 2;
  // Turning the start clockwise by a quarter less half a cell brings the
  // centre of the first cell to the top (CW) or the bottom (CCW).
  const float a = static_cast<float>(kPi / 2 - half / r);
  // The glyph takes the direction of the chord it sits on, which may differ
  // from the tangent by a few degrees; at cap height 1000 this moves the ink
  // by tens of units, a wrong side or direction by hundreds.
  const double tol = 25.0;
  SetNurbPathCircleCW(5.0f, 0.0f, 0.0f, a);
  SetModePathText();
  Append(u"H");
  Extent e = ExtentOf(Drawn(Array()));
  EXPECT_NEAR(e.CentreX(), h[kBlackBoxLeft] + h[kBlackBoxWidth] / 2 - half, tol);
  EXPECT_NEAR(e.min_y, r, tol);
  EXPECT_NEAR(e.max_y, r + h[kBlackBoxTop], tol);
  // Counter-clockwise the text runs left to right along the bottom, inside.
  FinishText();
  SetNurbPathCircleCCW(5.0f, 0.0f, 0.0f, a);
  Append(u"H");
  e = ExtentOf(Drawn(Array()));
  EXPECT_NEAR(e.CentreX(), h[kBlackBoxLeft] + h[kBlackBoxWidth] / 2 - half, tol);
  EXPECT_NEAR(e.min_y, -r, tol);
  EXPECT_NEAR(e.max_y, -r + h[kBlackBoxTop], tol);
}

TEST_F(PathText, BendingFansGlyphsOutOutsideACircleAndInInside) {
  const double r = 3000.0;
  const double half = Metrics('H')[kAdvanceX] / 2;
  const float a = static_cast<float>(kPi / 2 - half / r);
  auto width_at_top = [&](bool ccw, bool bend) {
    FinishText();
    if (ccw) {
      SetNurbPathCircleCCW(3.0f, 0.0f, 0.0f, a);
    } else {
      SetNurbPathCircleCW(3.0f, 0.0f, 0.0f, a);
    }
    SetDeformPathCharacters(bend ? EN_TRUE : EN_FALSE);
    SetModePathText();
    Append(u"H");
    // The width of the ink's half away from the path (and the baseline).
    const double cap = Metrics('H')[kBlackBoxTop];
    std::vector<Point> far;
    for (const Point& p : Drawn(Array())) {
      if (std::abs(Radius(p) - r) > cap / 2) far.push_back(p);
    }
    const Extent e = ExtentOf(far);
    return e.max_x - e.min_x;
  };
  // Outside a clockwise circle the normals spread: the top widens.
  EXPECT_GT(width_at_top(false, true), width_at_top(false, false) + 20.0);
  // Inside a counter-clockwise one they converge: the far side narrows.
  EXPECT_LT(width_at_top(true, true), width_at_top(true, false) - 20.0);
}

TEST_F(PathText, SimplePathLayoutAddsTheGapBeforeEveryCharacter) {
  SetHorizontalCharGap(0.2f);
  StraightPath(20.0f, 1.0f);
  ASSERT_EQ(Append(u"AW", false), 1);
  EXPECT_EQ(GetCharacterCount(-1), 2);
  EXPECT_TRUE(Carets().empty());
  const CharMetrics a = Metrics('A'), w = Metrics('W');
  EXPECT_NEAR(GetPathLengthOfCharacters(), 1000.0 + 200 + a[kAdvanceX] + 200 + w[kAdvanceX], 0.01);
  float box[10] = {};
  int* data = nullptr;
  GetOutLines(0, EN_RT_BORDER, &data, box);
  DeleteTTFData(data);
  // Rectangles relative to the cell's centre point on the path.
  EXPECT_NEAR(box[0], a[kBlackBoxLeft] - a[kAdvanceX] / 2, 0.01);
  EXPECT_NEAR(box[4], -a[kAdvanceX] / 2, 0.01);
  EXPECT_NEAR(box[6], a[kAdvanceX] / 2, 0.01);
  EXPECT_NEAR(box[7], a[kBlackBoxTop], 0.01);
  // The first corner is the far end of the cell: start + gap + advance.
  EXPECT_NEAR(box[8], 1200.0 + a[kAdvanceX], 0.01);
  EXPECT_NEAR(box[9], 0.0, 0.01);
}

TEST_F(PathText, WithoutAUsablePathNothingIsLaidOut) {
  SetModePathText();
  EXPECT_EQ(Append(u"AB"), 1);  // no path at all
  EXPECT_EQ(Append(u"AB", false), 1);
  EXPECT_EQ(GetCharacterCount(-1), 0);
  EXPECT_EQ(Array(), std::vector<int>({-1}));
  // A path of one repeated point has no length: nothing fits, nothing moves.
  float dot[6] = {1, 1, 1, 1, 1, 1};
  ASSERT_EQ(SetNurbPathPolyline(dot, 6, 0.0f), 1);
  Append(u"AB");
  EXPECT_EQ(GetCharacterCount(-1), 0);
  EXPECT_EQ(GetPathLengthOfCharacters(), 0.0f);
}

TEST_F(PathText, GlyphsWithoutWidthAreNotBentAndStayFinite) {
  // A combining mark has no advance: there is no width to spread a bend over.
  ASSERT_EQ(Metrics(0x301)[kAdvanceX], 0.0);
  SetNurbPathCircleCW(4.0f, 0.0f, 0.0f, 0.0f);
  SetDeformPathCharacters(EN_TRUE);
  SetModePathText();
  Append(u"e\u0301\u0300x");
  ASSERT_EQ(GetCharacterCount(-1), 4);
  const TTFState& line = *TTFLoader::Instance().Lines().back();
  for (double v : line.outline_stream) EXPECT_TRUE(std::isfinite(v));
  for (const CharacterBox& b : line.character_boxes) {
    for (int c = 0; c < 4; ++c) EXPECT_TRUE(std::isfinite(b.x[c]) && std::isfinite(b.y[c]));
  }
}

// Shape fonts draw with arcs. Placed along a path or in a column an arc's
// image is rebuilt from its flattened polyline and comes back as an arc when
// it is still a circle; bent, it stays a polyline.
TEST_F(PathText, ShapeFontArcsComeBackAsArcsUnlessBent) {
  const std::string file = VUZODO_SHX_FIXTURES "/shapes.shx";
  std::u16string face(file.begin(), file.end());
  ASSERT_EQ(SetFontFace(reinterpret_cast<unsigned short*>(face.data())), 1);
  TTFLoader& loader = TTFLoader::Instance();
  FontDataHolder* font = loader.LoadFont(face, 0);
  char16_t with_arc = 0;
  // A shape with an arc and a forward advance (to have a width to bend over).
  for (std::uint32_t code : font->ListCharacterCodes()) {
    const CharBufferHolder* ch = loader.LoadCharacter(font, code);
    if (ch->GetMetrics()[kAdvanceX] <= 0.0) continue;
    for (const CQELEntity* e : ch->GetOutlines()) {
      if (e != nullptr && e->GetType() == CQELEntity::kEllipticalArc) with_arc = ch->GetCode();
    }
    if (with_arc != 0) break;
  }
  ASSERT_NE(with_arc, 0) << "the fixture has a shape with an arc";
  const std::u16string text(3, with_arc);
  auto arcs = [](const std::vector<int>& a) {
    int n = 0;
    for (size_t p = 0; p + 2 < a.size(); p += a[p] == 42 ? 5 : 3) n += a[p] == 42;
    return n;
  };
  // Along x the transform is a plain scale: the arcs are recognised again.
  StraightPath(30.0f, 0.0f);
  Append(text);
  ASSERT_EQ(GetCharacterCount(-1), 3);
  std::vector<int> a = Array();
  EXPECT_GT(arcs(a), 0);
  EXPECT_EQ(PenSum(a), std::make_pair(0L, 0L));
  // Bent around a tight circle no arc stays a circle.
  FinishText();
  SetNurbPathCircleCW(2.0f, 0.0f, 0.0f, 0.3f);
  SetDeformPathCharacters(EN_TRUE);
  Append(text);
  ASSERT_EQ(GetCharacterCount(-1), 3);
  a = Array();
  EXPECT_EQ(arcs(a), 0);
  EXPECT_EQ(PenSum(a), std::make_pair(0L, 0L));
  // A turned column keeps them.
  FinishText();
  SetModeVertical();
  SetCharacterAngle(0.7f);
  Append(text);
  a = Array();
  EXPECT_GT(arcs(a), 0);
  EXPECT_EQ(PenSum(a), std::make_pair(0L, 0L));
}
