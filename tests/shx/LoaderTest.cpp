// The three loaders: file kinds, font information, shape lists and the fallback to "?".
#include <gtest/gtest.h>

#include <string>

#include "QELUtility.h"
#include "SHXFontHandler.h"
#include "ShxTestSupport.h"

using namespace vuzodo;
using shxtest::Outline;

namespace {

std::vector<std::int32_t> Numbers(const SHXFontHandler& handler) {
  std::vector<std::int32_t> numbers;
  for (const auto& shape : handler.GetShapes()) numbers.push_back(shape->GetShapeNumber());
  return numbers;
}

TEST(LoaderTest, ShapeFileVersionsOneZeroAndOneOne) {
  for (const char* name : {"shapes", "shapes11"}) {
    SHXFontHandler handler;
    handler.OpenNarrow(shxtest::FixturePath(name));
    const SHXFont& font = handler.GetFont();
    EXPECT_EQ(font.GetKind(), SHXFontKind::kShapes) << name;
    EXPECT_TRUE(font.IsShapesFile());
    EXPECT_EQ(font.name_, "TESTSHAPES");
    EXPECT_EQ(font.above_, 1);
    EXPECT_EQ(handler.GetBaseScale(), 1.0);
    // Shape 0 (the font information) is not a shape; the rest in file order.
    const std::vector<std::int32_t> want = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14,
                                            15, 16, 17, 18, 19, 20, 21, 22, 24, 25, 26, 63, 30};
    EXPECT_EQ(Numbers(handler), want) << name;
    const SHXShapeInfo* disp = font.FindShape(5);
    ASSERT_NE(disp, nullptr);
    EXPECT_EQ(disp->GetName(), "DISP");
    // 8,(3,-2),9,(1,1),(-1,0),(0,0) without the final 0; negative bytes as stored (0..255).
    const std::vector<std::int32_t> bytes = {8, 3, 254, 9, 1, 1, 255, 0, 0, 0};
    EXPECT_EQ(disp->GetBytes(), bytes);
    EXPECT_EQ(disp->GetByteCount(), 10);
  }
}

TEST(LoaderTest, UnicodeFontScalesByItsHeight) {
  SHXFontHandler handler;
  handler.OpenNarrow(shxtest::FixturePath("unifont"));
  const SHXFont& font = handler.GetFont();
  EXPECT_EQ(font.GetKind(), SHXFontKind::kUnifont);
  EXPECT_EQ(font.name_, "TESTUNI");
  EXPECT_EQ(font.above_, 4);
  EXPECT_EQ(font.below_, 1);
  EXPECT_EQ(handler.GetBaseScale(), 0.25);
  EXPECT_EQ(Numbers(handler), (std::vector<std::int32_t>{0x41, 0x42, 0x4E20}));
}

TEST(LoaderTest, BigFontsReadTheIndexAndSkipEmptySlots) {
  for (const char* name : {"bigfont", "bigfont_slots"}) {
    SHXFontHandler handler;
    handler.OpenNarrow(shxtest::FixturePath(name));
    const SHXFont& font = handler.GetFont();
    EXPECT_EQ(font.GetKind(), SHXFontKind::kBigfont) << name;
    EXPECT_FALSE(font.IsExtendedBigFont());
    EXPECT_EQ(font.name_, "TESTBIG");
    EXPECT_EQ(font.above_, 8);
    EXPECT_EQ(font.below_, 2);
    EXPECT_EQ(handler.GetBaseScale(), 1.0);
    EXPECT_EQ(Numbers(handler), (std::vector<std::int32_t>{0x41, 0x8141, 0x8142})) << name;
    // Each shape remembers where its definition starts; the name comes first.
    const auto bytes = shxtest::ReadBytes(shxtest::FixturePath(name));
    for (const auto& shape : handler.GetShapes()) {
      const auto offset = static_cast<std::size_t>(shape->GetDataOffset());
      ASSERT_LT(offset + shape->GetName().size(), bytes.size());
      EXPECT_EQ(
          std::string(bytes.begin() + offset, bytes.begin() + offset + shape->GetName().size()),
          shape->GetName());
    }
  }
}

TEST(LoaderTest, ExtendedBigFontReadsCharacterSize) {
  SHXFontHandler handler;
  handler.OpenNarrow(shxtest::FixturePath("extbig"));
  const SHXFont& font = handler.GetFont();
  EXPECT_TRUE(font.IsExtendedBigFont());
  EXPECT_EQ(font.name_, "TESTEXT");
  EXPECT_EQ(font.character_height_, 10);
  EXPECT_EQ(font.character_width_, 10);
  EXPECT_EQ(font.modes_, 2);
  EXPECT_EQ(Numbers(handler), (std::vector<std::int32_t>{0x8141, 0x8142, 0x8143}));
}

TEST(LoaderTest, WidePathAndUnknownNumbersFallBackToQuestionMark) {
  const std::string path = shxtest::FixturePath("shapes");
  std::vector<unsigned short> wide(path.begin(), path.end());
  wide.push_back(0);
  SHXFontHandler handler;
  handler.Open(wide.data());
  ASSERT_FALSE(handler.GetShapes().empty());
  auto built = handler.BuildShape(200);  // no such shape: "?" (63) is drawn
  ASSERT_TRUE(built.has_value());
  Outline outline(std::move(*built));
  EXPECT_EQ(handler.GetAdvance(), 2.0);
  // A font without shape 63 has nothing for an unknown number.
  SHXFontHandler uni;
  uni.OpenNarrow(shxtest::FixturePath("unifont"));
  EXPECT_FALSE(uni.BuildShape(200).has_value());
  // BuildAllShapes from a wide path yields the same list.
  EXPECT_EQ(SHXFontHandler::BuildAllShapes(wide.data()).size(), handler.GetShapes().size());
}

TEST(LoaderTest, UnreadableFilesGiveEmptyFonts) {
  SHXFontHandler missing;
  missing.OpenNarrow(std::string(SHX_FIXTURE_DIR) + "/no-such-font.shx");
  EXPECT_TRUE(missing.GetShapes().empty());
  SHXFontHandler directory;
  directory.OpenNarrow(SHX_FIXTURE_DIR);
  EXPECT_TRUE(directory.GetShapes().empty());
  // A header naming no kind.
  auto bytes = shxtest::ReadBytes(shxtest::FixturePath("shapes"));
  bytes[0] = 'a';
  SHXFontHandler unknown;
  unknown.OpenBytes(bytes);
  EXPECT_TRUE(unknown.GetShapes().empty());
  EXPECT_EQ(unknown.GetFont().GetKind(), SHXFontKind::kNone);
  // 300 shapes: offset 29 (the count's high byte) is 1, the file is not read.
  bytes = shxtest::ReadBytes(shxtest::FixturePath("shapes"));
  bytes[29] = 1;
  SHXFontHandler many;
  many.OpenBytes(bytes);
  EXPECT_TRUE(many.GetShapes().empty());
}

}  // namespace

namespace {

TEST(LoaderTest, RepeatedNumbersFindTheFirstShape) {
  // Two shapes numbered 5: every build of 5 draws the first, so the whole-font build gives the
  // first outline twice, in file order.
  const auto bytes = shxtest::MakeUnifont(1, {{5, {0x14}}, {6, {0x10}}, {5, {0x30}}});
  auto all = SHXFontHandler::BuildAllShapes(bytes);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].code, 5);
  EXPECT_EQ(all[2].code, 5);
  EXPECT_NEAR(all[2].advance, 0.0, 1e-12);  // (0, 1) from the first, not (3, 0) from the second
  EXPECT_DOUBLE_EQ(all[2].max.GetY(), 1.0);
  EXPECT_DOUBLE_EQ(all[1].advance, 1.0);
}

}  // namespace
