// Column layout on Liberation Sans (what "Arial" resolves to). Expected
// positions are worked from the font's own metrics: one line height
// (ascent + line gap - descent) times the height, plus the row gap, per row;
// each advance cell centred on x = 0.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "ColumnPathSupport.h"

using namespace vuzodo;
using namespace column_path;

namespace {

class Column : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeTTF(1000.0f);
    SetDefaults();
    SetModeVertical();
  }
  // One line height of the font, output units at height 1.
  static double LineHeight() {
    const OUTLINETEXTMETRICW& otm = Font()->GetOutlineTextMetrics();
    return static_cast<double>(otm.otmAscent) + otm.otmLineGap - otm.otmDescent;
  }
};

// The lowest edge of a glyph's black box relative to its baseline, height 1.
double InkBottom(char16_t c) {
  return Metrics(c)[kBlackBoxTop] - Metrics(c)[kBlackBoxHeight];
}

}  // namespace

TEST_F(Column, RowsStepByTheLineHeightAndCellsAreCentred) {
  SetTextHeight(2.0f);
  SetVerticalCharGap(0.5f);  // 500 output units
  ASSERT_EQ(Append(u"iW"), 1);
  EXPECT_EQ(GetCharacterCount(-1), 2);
  EXPECT_EQ(GetTextLineCount(), 1);
  const std::vector<CursorPosition> c = Carets();
  ASSERT_EQ(c.size(), 2u);  // no line-start caret in a column
  const double step = 2.0 * LineHeight() + 500.0;
  // The gap goes once before the loop and comes off with the first step: the
  // first baseline is one line height down, the second one step further.
  const double base0 = -2.0 * LineHeight(), base1 = base0 - step;
  const char16_t glyphs[2] = {u'i', u'W'};
  const double bases[2] = {base0, base1};
  for (int k = 0; k < 2; ++k) {
    const double half = Metrics(glyphs[k])[kAdvanceX];  // (advance / 2) at height 2
    SCOPED_TRACE(k);
    // The caret is the lower edge of the cell, from left to right.
    EXPECT_NEAR(c[k].topX, -half, 0.01);
    EXPECT_NEAR(c[k].bottomX, half, 0.01);
    EXPECT_NEAR(c[k].topY, bases[k] + 2.0 * InkBottom(glyphs[k]), 0.01);
    EXPECT_NEAR(c[k].bottomY, c[k].topY, 1e-3);
  }
}

TEST_F(Column, ASecondAppendContinuesTheColumn) {
  Append(u"AB");
  const std::vector<int> whole = Array();
  const std::vector<CursorPosition> carets = Carets();
  FinishText();
  Append(u"A");
  Append(u"B");
  EXPECT_EQ(GetCharacterCount(-1), 2);
  EXPECT_EQ(GetTextLineCount(), 1);
  EXPECT_EQ(Array(), whole);
  const std::vector<CursorPosition> split = Carets();
  ASSERT_EQ(split.size(), 2u);
  ASSERT_EQ(carets.size(), 2u);
  for (size_t k = 0; k < 2; ++k) {
    EXPECT_EQ(split[k].topY, carets[k].topY);
    EXPECT_EQ(split[k].topX, carets[k].topX);
  }
  // The baselines are one line height apart: the carets less their glyphs'
  // ink bottoms.
  EXPECT_NEAR(carets[0].topY - carets[1].topY - InkBottom('A') + InkBottom('B'), LineHeight(),
              0.01);
}

TEST_F(Column, TheRowGapIsAddedOncePerAppendAndTakenWithEveryStep) {
  // Each append adds the gap once before its first row and takes it with
  // every step, so two appends lose the gap between them: the second append's
  // first row sits one gap higher than in a single append.
  SetVerticalCharGap(0.25f);
  Append(u"AB");
  const std::vector<CursorPosition> one = Carets();
  FinishText();
  Append(u"A");
  Append(u"B");
  const std::vector<CursorPosition> two = Carets();
  ASSERT_EQ(one.size(), 2u);
  ASSERT_EQ(two.size(), 2u);
  EXPECT_NEAR(one[0].topY, -LineHeight() + InkBottom('A'), 0.01);
  EXPECT_EQ(two[0].topY, one[0].topY);
  EXPECT_NEAR(one[0].topY - one[1].topY - InkBottom('A') + InkBottom('B'), LineHeight() + 250.0,
              0.01);
  EXPECT_NEAR(two[1].topY - one[1].topY, 250.0, 0.01);
}

TEST_F(Column, MirroredAndTurnedGlyphsKeepTheirCell) {
  Append(u"H");
  const Extent upright = ExtentOf(Drawn(Array()));
  FinishText();
  // Backward mirrors the glyph about the column axis.
  SetModeCharacterBackward();
  Append(u"H");
  const Extent mirrored = ExtentOf(Drawn(Array()));
  EXPECT_NEAR(mirrored.min_x, -upright.max_x, 2.0);
  EXPECT_NEAR(mirrored.max_x, -upright.min_x, 2.0);
  EXPECT_NEAR(mirrored.min_y, upright.min_y, 2.0);
  FinishText();
  // A quarter turn turns the glyph about the centre of its cell: the ink's
  // centre stays (H is symmetric about it), width and height swap.
  SetModeCharacterForward();
  SetCharacterAngle(static_cast<float>(std::numbers::pi / 2));
  Append(u"H");
  const Extent turned = ExtentOf(Drawn(Array()));
  EXPECT_NEAR(turned.CentreX(), upright.CentreX(), 3.0);
  EXPECT_NEAR(turned.CentreY(), upright.CentreY(), 3.0);
  EXPECT_NEAR(turned.max_x - turned.min_x, upright.max_y - upright.min_y, 3.0);
  EXPECT_NEAR(turned.max_y - turned.min_y, upright.max_x - upright.min_x, 3.0);
}

TEST_F(Column, EachCharacterBoxHoldsItsOutlineUnderAnySettings) {
  SetCharacterAngle(0.5f);
  SetCharacterScale(1.5f, 0.75f);
  SetModeCharacterUpsideDown();
  SetVerticalCharGap(0.1f);
  Append(u"HOH");
  for (int k = 0; k < 3; ++k) {
    SCOPED_TRACE(k);
    float box[10] = {};
    // The character array and its box share the character's origin.
    const Extent ink = ExtentOf(Drawn(Array(k, EN_RT_BORDER, box)));
    const double min_x = std::min({box[0], box[2], box[4], box[6]});
    const double max_x = std::max({box[0], box[2], box[4], box[6]});
    const double min_y = std::min({box[1], box[3], box[5], box[7]});
    const double max_y = std::max({box[1], box[3], box[5], box[7]});
    EXPECT_GE(ink.min_x, min_x - 2.0);
    EXPECT_LE(ink.max_x, max_x + 2.0);
    EXPECT_GE(ink.min_y, min_y - 2.0);
    EXPECT_LE(ink.max_y, max_y + 2.0);
  }
}

TEST_F(Column, SimpleColumnRecordsRectanglesAndTheCellCorner) {
  ASSERT_EQ(Append(u"AW", false), 1);
  EXPECT_EQ(GetCharacterCount(-1), 2);
  EXPECT_TRUE(Carets().empty());  // this layout makes no carets
  const CharMetrics w = Metrics('W');
  float box[10] = {};
  int* data = nullptr;
  GetOutLines(1, EN_RT_BORDER, &data, box);
  DeleteTTFData(data);
  // Ink and cell rectangles relative to the cell centre on the column axis.
  EXPECT_NEAR(box[0], w[kBlackBoxLeft] - w[kAdvanceX] / 2, 0.01);
  EXPECT_NEAR(box[2], w[kBlackBoxLeft] + w[kBlackBoxWidth] - w[kAdvanceX] / 2, 0.01);
  EXPECT_NEAR(box[4], -w[kAdvanceX] / 2, 0.01);
  EXPECT_NEAR(box[5], InkBottom('W'), 0.01);
  EXPECT_NEAR(box[6], w[kAdvanceX] / 2, 0.01);
  EXPECT_NEAR(box[7], w[kBlackBoxTop], 0.01);
  // The stream corner of the first character is the right end of its cell's
  // baseline, one line height down.
  GetOutLines(0, EN_RT_BORDER, &data, box);
  DeleteTTFData(data);
  EXPECT_NEAR(box[8], Metrics('A')[kAdvanceX] / 2, 0.01);
  EXPECT_NEAR(box[9], -LineHeight(), 0.01);
}

// Column and path arrays close every character with a move to its corner and
// the text with a move back: the pen returns to where it started.
TEST_F(Column, WholeTextArraysReturnToTheOriginInColumnAndPathModes) {
  SetCharacterAngle(0.3f);
  SetObliqueAngle(0.2f);
  SetCharacterScale(1.25f, 0.8f);
  SetHorizontalCharGap(0.05f);
  SetVerticalCharGap(0.05f);
  SetModeSuperscript();
  SetModeCharacterBackward();
  for (int mode = 1; mode <= 2; ++mode) {
    for (bool ex : {true, false}) {
      FinishText();
      if (mode == 1) {
        SetModeVertical();
      } else {
        SetModePathText();
        SetNurbPathCircleCCW(8.0f, 1.0f, 2.0f, 0.4f);
        SetDeformPathCharacters(EN_TRUE);
        SetPathTextAlign(EN_PATH_ASCENT);
      }
      Append(u"Typo @ 8&", ex);
      Append(u"graphy", ex);
      ASSERT_GT(GetCharacterCount(-1), 10);
      for (int type = 0; type <= 5; ++type) {
        SCOPED_TRACE(testing::Message() << "mode " << mode << " ex " << ex << " type " << type);
        for (bool multiline : {false, true}) {
          int* data = nullptr;
          const int n =
              multiline ? GetMultilineOutLines(-1, static_cast<EN_ReturnType>(type), &data, nullptr)
                        : GetOutLinesEx(-1, static_cast<EN_ReturnType>(type), &data, nullptr);
          const auto [sx, sy] = PenSum(std::vector<int>(data, data + n));
          DeleteTTFData(data);
          EXPECT_EQ(sx, 0);
          EXPECT_EQ(sy, 0);
        }
      }
    }
  }
}
