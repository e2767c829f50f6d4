// Outline retrieval on lines whose streams are written by hand, so that every
// expected array can be worked out on paper.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "OutlineCreator.h"
#include "TTFLoader.h"
#include "vuzodo/vuzodo.h"

using namespace vuzodo;

namespace {

std::vector<int> Ints(const std::vector<double>& list) {
  int count = 0;
  int* array = ToIntArray(list, count);
  std::vector<int> out(array, array + count);
  ReleaseHostArray(array);
  return out;
}

class Retrieval : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeTTF(1000.0f);
    SetDefaults();
  }
  // One character of advance 500: outline "draw 100 right, move to the end",
  // fill "draw 50 up, move to the end", box [0, 500] x [-200, 700].
  TTFState& AddLine() {
    auto& loader = TTFLoader::Instance();
    TTFState& line = first_ ? *loader.GetCurrentLine() : *loader.PushLine();
    first_ = false;
    line.maximum_ascent = 700;
    line.maximum_descent = -200;
    line.character_count = 1;
    line.advances = {500, 0};
    line.outline_stream = {41, 100, 0, 40, 400, 0};
    line.outline_ends = {6};
    line.fill_stream = {41, 0, 50, 40, 500, -50};
    line.fill_ends = {6};
    line.hatch_stream = {40, 500, 0};
    line.hatch_ends = {3};
    line.character_boxes.push_back(CharacterBox{{0, 500, 500, 0}, {-200, -200, 700, 700}});
    return line;
  }
  std::vector<int> Fetch(int (*fn)(int, EN_ReturnType, int**, float*), int index, int type,
                         float* box) {
    int* data = nullptr;
    const int count = fn(index, static_cast<EN_ReturnType>(type), &data, box);
    std::vector<int> out(data, data + count);
    DeleteTTFData(data);
    return out;
  }
  bool first_ = true;
};

}  // namespace

TEST(IntArray, ResiduesCarryDroppedMovesAndMergedMoves) {
  // A move of (0.4, 0.4) rounds to nothing and is dropped, its fraction
  // carried into the next move; the draw then loses 0.2 to the residue.
  EXPECT_EQ(Ints({40, 0.4, 0.4, 40, 0.4, 0.4, 41, 1.0, 0}),
            (std::vector<int>{40, 1, 1, 41, 1, 0, -1}));
  EXPECT_EQ(Ints({40, 1, 2, 40, 3, 4}), (std::vector<int>{40, 4, 6, -1}));
  // A draw that rounds to zero is dropped but a dot never is.
  EXPECT_EQ(Ints({41, 0.2, 0, 466, 0, 0}), (std::vector<int>{466, 0, 0, -1}));
}

// Two moves each within the int range can sum past it when merged (text at a huge unit size);
// the merged move saturates like a single value instead of overflowing.
TEST(IntArray, MergedMovesSaturate) {
  EXPECT_EQ(Ints({40, 2e9, -2e9, 40, 2e9, -2e9, 41, 1, 0}),
            (std::vector<int>{40, 2147483647, -2147483647 - 1, 41, 1, 0, -1}));
}

TEST(IntArray, ArcsRoundTheirEndWithResiduesAndTheirCentreWithout) {
  EXPECT_EQ(Ints({42, 10.4, 0.4, 5.6, -0.6, 41, 0.2, 0.2}),
            (std::vector<int>{42, 10, 0, 6, -1, 41, 1, 1, -1}));
  // A cut-off arc record ends the list instead of reading past it.
  EXPECT_EQ(Ints({41, 1, 1, 42, 1, 2}), (std::vector<int>{41, 1, 1, -1}));
}

TEST(IntArray, RoundingIsHalfAwayFromZeroAndSaturates) {
  EXPECT_EQ(RoundHalfAway(2.5), 3);
  EXPECT_EQ(RoundHalfAway(-2.5), -3);
  EXPECT_EQ(RoundHalfAway(-2.4999), -2);
  EXPECT_EQ(RoundHalfAway(1e300), 2147483647);
  EXPECT_EQ(RoundHalfAway(-1e300), -2147483647 - 1);
  EXPECT_EQ(RoundHalfAway(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(Ints({}), (std::vector<int>{-1}));
}

TEST_F(Retrieval, WholeTextReturnsToTheOriginWithItsBox) {
  AddLine();
  float box[8] = {};
  EXPECT_EQ(Fetch(GetOutLinesEx, -1, 0, box), (std::vector<int>{41, 100, 0, 40, -100, 0, -1}));
  const float expected[8] = {0, -200, 500, -200, 500, 700, 0, 700};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(box[i], expected[i]) << i;
}

TEST_F(Retrieval, MultilineAlignmentMovesTheBlockInHorizontalModeOnly) {
  AddLine();
  // Top alignment: the first ascent touches y = 0, and the pen comes back.
  EXPECT_EQ(Fetch(GetMultilineOutLines, -1, 0, nullptr),
            (std::vector<int>{40, 0, -700, 41, 100, 0, 40, -100, 700, -1}));
  SetModeVertical();
  EXPECT_EQ(Fetch(GetMultilineOutLines, -1, 0, nullptr),
            (std::vector<int>{41, 100, 0, 40, -100, 0, -1}));
}

TEST_F(Retrieval, EveryWholeTextArraySumsToZero) {
  for (int i = 0; i < 3; ++i) {
    TTFState& line = AddLine();
    line.outline_stream = {41, 100.3, 0.4, 42, 50.5, 50.5, 0, 50.5, 40, 349.2, -50.9};
    line.horizontal_alignment = i;
  }
  SetTextBoxWidth(3.0f);
  SetLineSpacing(1.37f);
  for (int type = 0; type <= 6; ++type) {
    const std::vector<int> a = Fetch(GetMultilineOutLines, -1, type, nullptr);
    long sx = 0, sy = 0;
    for (size_t p = 0; p + 1 < a.size();) {
      const int width = a[p] == 42 ? 5 : 3;
      sx += a[p + 1];
      sy += a[p + 2];
      p += width;
    }
    EXPECT_EQ(sx, 0) << "type " << type;
    EXPECT_EQ(sy, 0) << "type " << type;
  }
}

TEST_F(Retrieval, OneCharacterEntersFromThePreviousCharactersEnd) {
  AddLine();
  AddLine();
  float box[10] = {};
  // Line 1 starts 200 + 700 lower, and 500 back from where line 0 ended.
  EXPECT_EQ(Fetch(GetOutLinesEx, 1, 0, box),
            (std::vector<int>{40, -500, -900, 41, 100, 0, 40, 400, 0, -1}));
  const float expected[10] = {-500, -1100, 0, -1100, 0, -200, -500, -200, 0, -900};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(box[i], expected[i]) << i;
  // Fill first for type 4: the move back to the origin merges with the fill's end.
  EXPECT_EQ(Fetch(GetOutLinesEx, 0, 4, nullptr),
            (std::vector<int>{41, 0, 50, 40, 0, -50, 41, 100, 0, 40, 400, 0, -1}));
  float untouched[10] = {7, 7, 7, 7, 7, 7, 7, 7, 7, 7};
  EXPECT_EQ(Fetch(GetOutLinesEx, 5, 0, untouched), (std::vector<int>{-1}));
  EXPECT_EQ(untouched[0], 7.0f);
}

TEST_F(Retrieval, OlderLineFormCountsWhatItAllocates) {
  AddLine();
  std::vector<int> a = Fetch(GetOutLines, -1, 0, nullptr);
  ASSERT_EQ(a.size(), 10u);  // (6 + 3) + 1 allocated
  // Everything after the end mark is zero, never uninitialised memory.
  EXPECT_EQ(a, (std::vector<int>{41, 100, 0, 40, -100, 0, -1, 0, 0, 0}));
  a = Fetch(GetOutLines, -1, 3, nullptr);
  ASSERT_EQ(a.size(), 19u);
  EXPECT_EQ(a, (std::vector<int>{41, 100, 0, 40, -100, 0, 41, 0, 50, 40, 0, -50, -1, 0, 0, 0,
                                 0, 0, 0}));
  EXPECT_EQ(Fetch(GetOutLines, -1, 9, nullptr), (std::vector<int>{-1}));
  // One character, type 3: outline slice, the move back, fill slice.
  EXPECT_EQ(Fetch(GetOutLines, 0, 3, nullptr),
            (std::vector<int>{41, 100, 0, 40, 400, 0, 40, -500, 0, 41, 0, 50, 40, 500, -50, -1}));
  EXPECT_EQ(Fetch(GetOutLines, 0, 7, nullptr), (std::vector<int>{-1}));
  EXPECT_EQ(Fetch(GetOutLines, 1, 0, nullptr), (std::vector<int>{-1}));
}

TEST_F(Retrieval, TotalBoundingBoxIncludesTheBulgeOfArcs) {
  TTFState& line = AddLine();
  // An arc of radius 100 about (60, 80) from (0, 0) to (120, 0) dips to y = -20.
  line.outline_stream = {42, 120, 0, 60, 80, 40, -120, 0};
  line.hatch_stream.clear();
  line.fill_stream.clear();
  float box[4];
  GetTotalBoundingBox(box);
  EXPECT_FLOAT_EQ(box[0], 0.0f);
  EXPECT_FLOAT_EQ(box[1], -20.0f);
  EXPECT_FLOAT_EQ(box[2], 120.0f);
  EXPECT_FLOAT_EQ(box[3], 0.0f);
}

TEST_F(Retrieval, AnEmptyListGivesTheEndMarkOnly) {
  InitializeTTF(1000.0f);
  float box[8] = {3, 3, 3, 3, 3, 3, 3, 3};
  EXPECT_EQ(Fetch(GetOutLinesEx, -1, 0, box), (std::vector<int>{-1}));
  EXPECT_EQ(box[0], 3.0f);
  EXPECT_EQ(GetTextLineCount(), 0);
}
