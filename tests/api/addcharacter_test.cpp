// Storing one placed character: the three streams stay in step, each record
// closes with a move to the end corner, and the outline goes through the
// hatching exchange. Expected records are written from the line's geometry.
#include <gtest/gtest.h>

#include "HatchPattern.h"
#include "QELEntity.h"
#include "TTFLoader.h"
#include "qelhatching/qelhatching.h"
#include "vuzodo/vuzodo.h"

using namespace vuzodo;

namespace {

class AddCharacterTest : public ::testing::Test {
 protected:
  void SetUp() override { InitializeTTF(1000.0f); }
  TTFState& Line() { return *TTFLoader::Instance().GetCurrentLine(); }
};

std::vector<CQELEntity*> OneStroke() {
  return {new CQELLine(NURBSPoint(110, 20), NURBSPoint(210, 20))};
}

}  // namespace

TEST_F(AddCharacterTest, OutlineRecordIsRelativeToTheOriginAndClosedAtTheEnd) {
  std::vector<CQELEntity*> entities = OneStroke();
  Line().AddCharacter(100, 0, 600, 0, entities);
  EXPECT_TRUE(entities.empty());  // handed over, not deleted here
  EXPECT_EQ(Line().outline_stream,
            (std::vector<double>{40, 10, 20, 41, 100, 0, 40, 390, -20}));
  EXPECT_EQ(Line().outline_ends, (std::vector<int>{9}));
  // With an empty pattern list fill and polylines hold only the closing move.
  EXPECT_EQ(Line().fill_stream, (std::vector<double>{40, 500, 0}));
  EXPECT_EQ(Line().hatch_stream, (std::vector<double>{40, 500, 0}));
  EXPECT_EQ(Line().advances, (std::vector<double>{500, 0}));
  EXPECT_EQ(Line().pen.GetX(), 600.0);
  EXPECT_TRUE(qelhatching::CurrentOutline().empty());  // the exchange has ended
}

TEST_F(AddCharacterTest, WithoutTheBorderOnlyTheClosingMovesRemain) {
  IncludeBorder(EN_FALSE);
  for (int k = 0; k < 3; ++k) {
    std::vector<CQELEntity*> entities = OneStroke();
    Line().AddCharacter(500.0 * k, 0, 500.0 * (k + 1), 10, entities);
  }
  EXPECT_EQ(Line().outline_stream,
            (std::vector<double>{40, 500, 10, 40, 500, 10, 40, 500, 10}));
  EXPECT_EQ(Line().outline_ends, (std::vector<int>{3, 6, 9}));
  EXPECT_EQ(Line().fill_ends, (std::vector<int>{3, 6, 9}));
  EXPECT_EQ(Line().hatch_ends, (std::vector<int>{3, 6, 9}));
}

TEST(HatchExchange, ListsAreNeverNullAndOutlinesAreReleased) {
  std::vector<CQELEntity*> outline = OneStroke();
  outline.push_back(nullptr);  // tolerated
  AddCharacterOutline(&outline);
  EXPECT_EQ(qelhatching::CurrentOutline().size(), 1u);
  std::vector<CQELPolyLine*>* polylines = nullptr;
  std::vector<CQELEntity*>* fill = GetFilledEntityList(&polylines);
  ASSERT_NE(fill, nullptr);
  ASSERT_NE(polylines, nullptr);
  EXPECT_TRUE(fill->empty());
  EXPECT_TRUE(polylines->empty());
  ClearEntityList();
  EXPECT_TRUE(qelhatching::CurrentOutline().empty());
  // A host of the library that forgets ClearEntityList leaks nothing: the next
  // character releases the previous one (the sanitizer build checks this).
  std::vector<CQELEntity*> again = OneStroke();
  AddCharacterOutline(&again);
  AddCharacterOutline(nullptr);
  EXPECT_TRUE(qelhatching::CurrentOutline().empty());
}
