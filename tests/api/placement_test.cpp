// Line placement in the text box and the caret queries that use it, on lines
// whose metrics are set by hand. Expected values are worked out by hand.
#include <gtest/gtest.h>

#include "OutlineCreator.h"
#include "TTFLoader.h"
#include "vuzodo/vuzodo.h"

using namespace vuzodo;

namespace {

class Placement : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeTTF(1000.0f);
    SetDefaults();
  }
  // A line with one character of advance `width` whose box spans
  // [0, width] x [low, high].
  TTFState& AddLine(double ascent, double descent, double width, double low, double high) {
    auto& loader = TTFLoader::Instance();
    TTFState& line = loader.Lines().size() == 1 && loader.Lines()[0]->character_count == 0 &&
                             loader.Lines()[0]->maximum_ascent == 0.0
                         ? *loader.GetCurrentLine()
                         : *loader.PushLine();
    line.maximum_ascent = ascent;
    line.maximum_descent = descent;
    line.character_count = 1;
    line.advances = {width, 0.0};
    line.character_boxes.push_back(CharacterBox{{0, width, width, 0}, {low, low, high, high}});
    return line;
  }
  LinePlacement Place(bool align) {
    LinePlacement p;
    MeasureLines(TTFLoader::Instance().Lines(), p);
    PlaceLines(Process(), TTFLoader::Instance().Lines(), align, p);
    return p;
  }
};

}  // namespace

TEST_F(Placement, BottomAlignmentPutsTheLowestCornerOnTheBoxBottom) {
  AddLine(700, -200, 500, -180, 650);
  SetTextBoxHeight(3.0f);
  SetTextVerticalAlign(EN_VALIGN_BOTTOM);
  const LinePlacement p = Place(true);
  EXPECT_FLOAT_EQ(p.block_offset + -180.0f, -3000.0f);
}

TEST_F(Placement, TopAndMiddleAlignment) {
  AddLine(700, -200, 500, -180, 650);
  AddLine(900, -300, 800, -250, 880);
  SetTextBoxHeight(4.0f);
  // Top: the first line's ascent touches y = 0.
  EXPECT_FLOAT_EQ(Place(true).block_offset, -700.0f);
  // Middle: H = 700 + (200 + 900) + 250 - 700 = 1350 down to the lowest
  // corner of the last line; the offset is (H - 4000) / 2.
  SetTextVerticalAlign(EN_VALIGN_MIDDLE);
  EXPECT_FLOAT_EQ(Place(true).block_offset, (1350.0f - 4000.0f) / 2.0f);
  // Unknown alignment values give no offset.
  SetTextVerticalAlign(static_cast<EN_TextVerticalAlignStyle>(7));
  EXPECT_FLOAT_EQ(Place(true).block_offset, 0.0f);
}

TEST_F(Placement, FixedSpacingIgnoresTheFonts) {
  AddLine(700, -200, 500, -180, 650);
  AddLine(2700, -900, 500, -800, 2600);
  SetLineSpacingStyle(EN_LINESPACE_FIXED);
  SetLineSpacing(1.5f);
  SetTextBoxHeight(10.0f);
  SetTextVerticalAlign(EN_VALIGN_BOTTOM);
  // H = 1500 + 1500 + 800 - 1500 = 2300; offset = 2300 - 10000.
  EXPECT_FLOAT_EQ(Place(true).block_offset, 2300.0f - 10000.0f);
  EXPECT_DOUBLE_EQ(LineAdvance(Process(), 123.0), 1500.0);
}

TEST_F(Placement, HorizontalAlignmentPerLineWithinTheBoxWidth) {
  TTFState& a = AddLine(700, -200, 500, -180, 650);
  TTFState& b = AddLine(700, -200, 3000, -180, 650);
  TTFState& c = AddLine(700, -200, 400, -180, 650);
  a.horizontal_alignment = 1;
  b.horizontal_alignment = 1;  // wider than the box: sticks out on both sides
  c.horizontal_alignment = 2;
  SetTextBoxWidth(2.0f);
  const LinePlacement p = Place(true);
  EXPECT_DOUBLE_EQ(p.offsets[0], 750.0);
  EXPECT_DOUBLE_EQ(p.offsets[1], -500.0);
  EXPECT_DOUBLE_EQ(p.offsets[2], 1600.0);
  const LinePlacement off = Place(false);
  EXPECT_EQ(off.offsets, (std::vector<double>{0, 0, 0}));
  EXPECT_EQ(off.block_offset, 0.0f);
}

TEST_F(Placement, AnEmptyLastLineAddsNoLowestPointCorrection) {
  AddLine(700, -200, 500, -180, 650);
  TTFState& empty = *TTFLoader::Instance().PushLine();
  empty.maximum_ascent = 700;
  empty.maximum_descent = -200;
  SetTextBoxHeight(0.0f);
  SetTextVerticalAlign(EN_VALIGN_BOTTOM);
  // H = 700 + 900 - 700 = 900 with no correction.
  EXPECT_FLOAT_EQ(Place(true).block_offset, 900.0f);
}

TEST_F(Placement, CaretQueriesPlaceEveryLine) {
  TTFState& first = AddLine(800, -200, 500, -200, 800);
  first.carets = {CursorPosition{0, 800, 0, -200, 0, 1}, CursorPosition{500, 800, 500, -200, 0, 0}};
  TTFState& second = AddLine(600, -100, 0, 0, 0);
  second.carets = {CursorPosition{0, 600, 0, -100, 0, 1}};

  CursorPosition* carets = nullptr;
  int count = -1;
  float top = -1;
  EXPECT_EQ(GetMultilineCaretPositionData(&carets, &count, &top), 2);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(top, 0.0f);  // top alignment: the block moves down by the first ascent
  // Line 0 baseline at -800; line 1 lower by 200 + 600.
  EXPECT_EQ(carets[1].topX, 500.0f);
  EXPECT_EQ(carets[1].topY, 0.0f);
  EXPECT_EQ(carets[1].bottomY, -1000.0f);
  EXPECT_EQ(carets[1].baselineY, -800.0f);
  EXPECT_EQ(carets[2].topY, -1000.0f);
  EXPECT_EQ(carets[2].baselineY, -1600.0f);
  EXPECT_EQ(carets[2].lineStart, 1);
  DeleteCaretData(reinterpret_cast<float*>(carets));

  // The single-list form skips line-start carets and does not align.
  float* flat = nullptr;
  EXPECT_EQ(GetCaretPositionData(&flat), 4);
  EXPECT_EQ(flat[0], 500.0f);
  EXPECT_EQ(flat[1], 800.0f);
  EXPECT_EQ(flat[3], -200.0f);
  DeleteCaretData(flat);
}

TEST_F(Placement, CaretQueriesOnAnEmptyListGiveReleasableEmptyArrays) {
  InitializeTTF(1000.0f);
  CursorPosition* carets = nullptr;
  int count = -1;
  float top = 7;
  EXPECT_EQ(GetMultilineCaretPositionData(&carets, &count, &top), 0);
  EXPECT_EQ(count, 0);
  EXPECT_NE(carets, nullptr);
  DeleteCaretData(reinterpret_cast<float*>(carets));
  float* flat = nullptr;
  EXPECT_EQ(GetCaretPositionData(&flat), 0);
  EXPECT_NE(flat, nullptr);
  DeleteCaretData(flat);
  EXPECT_EQ(GetTextLineCount(), 0);
}
