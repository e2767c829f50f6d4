// Hostile files: every truncation, random corruption, runaway recursion, stacks and scales.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "SHXFontHandler.h"
#include "ShxTestSupport.h"

using namespace vuzodo;
using shxtest::Outline;

namespace {

const char* const kFixtures[] = {"shapes", "unifont", "bigfont", "bigfont_slots", "extbig"};

// What a loaded font must satisfy whatever the bytes: finite geometry inside its box.
void CheckWellFormed(std::vector<unsigned char> bytes, const std::string& what) {
  auto all = SHXFontHandler::BuildAllShapes(std::move(bytes));
  for (const auto& shape : all) {
    ASSERT_TRUE(std::isfinite(shape.advance)) << what;
    ASSERT_TRUE(shxtest::BoxContains(shape.entities, shape.min, shape.max)) << what;
  }
}

// A prefix of a shape file or unicode font loads a prefix of its shapes, byte for byte; a
// prefix of a big font loads some of them. Nothing else ever appears.
TEST(TruncationTest, EveryLengthOfEveryFixture) {
  for (const char* name : kFixtures) {
    const auto full = shxtest::ReadBytes(shxtest::FixturePath(name));
    SHXFontHandler complete;
    complete.OpenBytes(full);
    const auto& all = complete.GetShapes();
    ASSERT_FALSE(all.empty()) << name;
    for (std::size_t length = 0; length < full.size(); ++length) {
      std::vector<unsigned char> prefix(full.begin(), full.begin() + length);
      SHXFontHandler handler;
      handler.OpenBytes(prefix);
      const auto& got = handler.GetShapes();
      ASSERT_LT(got.size(), all.size() + (length + 1 == full.size() ? 1 : 0)) << name << length;
      std::size_t k = 0;
      for (const auto& shape : got) {
        while (k < all.size() && all[k]->GetShapeNumber() != shape->GetShapeNumber()) ++k;
        ASSERT_LT(k, all.size()) << name << " length " << length;
        EXPECT_EQ(shape->GetBytes(), all[k]->GetBytes()) << name << " length " << length;
        ++k;
      }
      CheckWellFormed(prefix, std::string(name) + " length " + std::to_string(length));
    }
  }
}

// Random bytes overwritten anywhere (counts, offsets, lengths, definitions); seeded, so a
// failure repeats.
TEST(CorruptionTest, SeededRandomBytes) {
  std::mt19937 random(20261206);
  for (const char* name : kFixtures) {
    const auto full = shxtest::ReadBytes(shxtest::FixturePath(name));
    std::uniform_int_distribution<std::size_t> where(0, full.size() - 1);
    std::uniform_int_distribution<int> value(0, 255);
    std::uniform_int_distribution<int> how_many(1, 8);
    for (int round = 0; round < 1500; ++round) {
      auto bytes = full;
      for (int k = how_many(random); k > 0; --k) bytes[where(random)] = value(random);
      CheckWellFormed(bytes, std::string(name) + " round " + std::to_string(round));
    }
  }
}

// Counts and offsets pushed to their extremes: the index of a big font pointing past the file,
// the escape range count, a shape length of 0xFFFF.
TEST(CorruptionTest, ExtremeCountsAndOffsets) {
  const auto big = shxtest::ReadBytes(shxtest::FixturePath("bigfont"));
  // Escape range count 0xFFFF: the ranges run past the end of the file.
  auto ranges = big;
  ranges[29] = ranges[30] = 0xFF;
  SHXFontHandler a;
  a.OpenBytes(ranges);
  EXPECT_TRUE(a.GetShapes().empty());
  // The second index entry's offset past the end: that shape alone is dropped.
  auto offset = big;
  const std::size_t entry = 31 + 4 + 8;  // header, one range, the font information entry
  offset[entry + 4] = offset[entry + 5] = offset[entry + 6] = 0xFF;
  SHXFontHandler b;
  b.OpenBytes(offset);
  EXPECT_EQ(b.GetShapes().size(), 2u);
  // The font information's offset past the end: nothing is read.
  auto info = big;
  info[31 + 4 + 4] = info[31 + 4 + 5] = 0xFF;
  SHXFontHandler c;
  c.OpenBytes(info);
  EXPECT_TRUE(c.GetShapes().empty());
  // A unicode shape claiming 0xFFFF bytes: it and the rest are dropped, the earlier ones kept.
  auto uni = shxtest::MakeUnifont(1, {{1, {0x14}}, {2, {0x14}}, {3, {0x14}}});
  const std::size_t second = 25 + 4 + 2 + 8 + 8;  // header, count, length, info, first shape
  ASSERT_EQ(uni[second], 2);
  uni[second + 2] = uni[second + 3] = 0xFF;
  SHXFontHandler d;
  d.OpenBytes(uni);
  ASSERT_EQ(d.GetShapes().size(), 1u);
  EXPECT_EQ(d.GetShapes()[0]->GetShapeNumber(), 1);
  // A length shorter than the name.
  uni[second + 2] = 1;
  uni[second + 3] = 0;
  SHXFontHandler e;
  e.OpenBytes(uni);
  EXPECT_EQ(e.GetShapes().size(), 1u);
}

TEST(RecursionTest, SelfAndMutualCallsEndAndKeepTheirOwnStrokes) {
  // Shape 1 calls itself three times between strokes; shapes 2 and 3 call each other.
  SHXFontHandler handler;
  handler.OpenBytes(shxtest::MakeUnifont(
      1, {{1, {0x14, 7, 0, 1, 7, 0, 1, 0x10}}, {2, {7, 0, 3, 0x10}}, {3, {0x14, 7, 0, 2}}}));
  auto one = handler.BuildShape(1);
  ASSERT_TRUE(one.has_value());
  Outline first(std::move(*one));
  EXPECT_FALSE(handler.WasRefused());
  // (0,0)-(0,1) then, after the skipped calls, (0,1)-(1,1) continues the same stroke.
  ASSERT_EQ(first.entities.size(), 1u);
  EXPECT_EQ(static_cast<CQELPolyLine*>(first.entities[0])->GetPoints().size(), 3u);
  auto two = handler.BuildShape(2);
  Outline second(std::move(*two));
  EXPECT_EQ(second.entities.size(), 2u);  // 3's stroke, then 2's own
  EXPECT_DOUBLE_EQ(handler.GetAdvance(), 1.0);
}

TEST(RecursionTest, ExponentialFanOutIsRefused) {
  // Shape k calls shape k+1 three times: 3^16 calls at the deepest level before the depth
  // limit. The step budget refuses the shape; a shallow fan-out is fine.
  std::vector<shxtest::RawShape> shapes;
  for (std::uint16_t k = 1; k <= 20; ++k) {
    const auto next = static_cast<unsigned char>(k + 1);
    shapes.push_back({k, {7, 0, next, 7, 0, next, 7, 0, next, 0x11}});
  }
  SHXFontHandler handler;
  handler.OpenBytes(shxtest::MakeUnifont(1, shapes));
  auto deep = handler.BuildShape(1);
  ASSERT_TRUE(deep.has_value());
  EXPECT_TRUE(deep->empty());
  EXPECT_TRUE(handler.WasRefused());
  auto shallow = handler.BuildShape(18);  // 18 -> 19 -> 20 -> 21 (missing): 13 strokes' worth
  Outline outline(std::move(*shallow));
  EXPECT_FALSE(handler.WasRefused());
  EXPECT_FALSE(outline.entities.empty());
  // Refused shapes are left out of the whole-font build.
  const auto all = SHXFontHandler::BuildAllShapes(shxtest::MakeUnifont(1, shapes));
  EXPECT_LT(all.size(), shapes.size());
  EXPECT_EQ(all.back().code, 20);
}

TEST(ScaleTest, OverflowIsRefusedAndDivisionByZeroIgnored) {
  std::vector<unsigned char> huge;
  for (int k = 0; k < 200; ++k) {
    huge.push_back(4);
    huge.push_back(255);
  }
  huge.push_back(0x10);
  SHXFontHandler handler;
  handler.OpenBytes(shxtest::MakeUnifont(1, {{1, huge}, {2, {3, 0, 0x10}}, {3, {12, 0, 0, 90}}}));
  auto first = handler.BuildShape(1);
  EXPECT_TRUE(first->empty());
  EXPECT_TRUE(handler.WasRefused());
  auto second = handler.BuildShape(2);
  Outline outline(std::move(*second));
  EXPECT_FALSE(handler.WasRefused());
  EXPECT_DOUBLE_EQ(handler.GetAdvance(), 1.0);  // the vector kept its length
  // A bulge over an empty chord draws nothing and does not move the pen.
  auto third = handler.BuildShape(3);
  EXPECT_TRUE(third->empty());
  EXPECT_FALSE(handler.WasRefused());
  EXPECT_EQ(handler.GetAdvance(), 0.0);
}

TEST(TruncatedCommandTest, OperandsCutOffByTheEndOfTheDefinition) {
  // Every command family cut short: the complete strokes before it are kept.
  for (const std::vector<unsigned char>& tail : {std::vector<unsigned char>{8, 1},
                                                 {9, 1, 1, 0},
                                                 {10, 1},
                                                 {11, 0, 0, 0, 1},
                                                 {12, 1, 1},
                                                 {13, 1, 1, 1, 0},
                                                 {3},
                                                 {4},
                                                 {7, 0}}) {
    std::vector<unsigned char> bytes = {0x14};
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    SHXFontHandler handler;
    handler.OpenBytes(shxtest::MakeUnifont(1, {{1, bytes}}));
    auto built = handler.BuildShape(1);
    ASSERT_TRUE(built.has_value());
    Outline outline(std::move(*built));
    ASSERT_EQ(outline.entities.size(), 1u) << int(tail[0]);
    EXPECT_EQ(static_cast<CQELPolyLine*>(outline.entities[0])->GetPoints().size(), 2u);
  }
}

}  // namespace

namespace {

TEST(StackTest, FifthPushIsIgnoredAndExtraPopsRestoreNothing) {
  // Pushes at x = 0, 1, 2, 3 and (ignored) 4; each pop is followed by a short stroke that shows
  // where the pen went: 3, 2, 1, 0, then the fifth pop leaves the pen at the end of the last
  // stroke, (0, 1).
  std::vector<unsigned char> bytes = {2};
  for (int k = 0; k < 5; ++k) {
    bytes.push_back(5);
    bytes.push_back(0x10);
  }
  for (int k = 0; k < 5; ++k) {
    for (unsigned char b : {6, 1, 0x14, 2}) bytes.push_back(b);
  }
  SHXFontHandler handler;
  handler.OpenBytes(shxtest::MakeUnifont(1, {{1, bytes}}));
  auto built = handler.BuildShape(1);
  Outline outline(std::move(*built));
  ASSERT_EQ(outline.entities.size(), 5u);
  const double want_x[] = {3, 2, 1, 0, 0};
  const double want_y[] = {0, 0, 0, 0, 1};
  for (int k = 0; k < 5; ++k) {
    const auto& start = static_cast<CQELPolyLine*>(outline.entities[k])->GetPoints()[0];
    EXPECT_NEAR(start.GetX(), want_x[k], 1e-12) << k;
    EXPECT_NEAR(start.GetY(), want_y[k], 1e-12) << k;
  }
}

}  // namespace
