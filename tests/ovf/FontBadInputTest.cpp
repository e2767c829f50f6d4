// Fonts from anywhere: cut-short and corrupted OVF files and random FNT text must give defined
// results (an empty font, fewer glyphs, fewer entities) and never read outside the file.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "CharBufferHolder.h"
#include "FntReader.h"
#include "FontDataHolder.h"
#include "FontTestSupport.h"
#include "OVFFontHandler.h"
#include "QELUtility.h"
#include "TTFLoader.h"

namespace {

// Byte offsets in commands.ovf: header 8 + "Test" 12 + "Outline" 16 + 48 reals = 84; the first
// entry (L, one record) is 28 + 32 bytes, the second (T) follows it.
constexpr std::size_t kHeaderSize = 84;
constexpr std::size_t kFirstRecordCount = kHeaderSize + 24;
constexpr std::size_t kFirstDataLength = kHeaderSize + 28 + 24;
constexpr std::size_t kFirstDataOffset = kHeaderSize + 28 + 28;
constexpr std::size_t kSecondDataOffset = kHeaderSize + 60 + 28 + 28;

// Decodes every code the fixture uses and some it does not; every entity must be finite.
std::size_t DecodeAll(OVFFontHandler& font) {
  std::size_t entities = 0;
  for (int code = 0; code < 128; ++code) {
    std::optional<ReaderGlyph> g = font.BuildGlyph(code);
    if (!g) continue;
    for (const CQELEntity* e : g->outline) {
      NURBSPoint lo(3.4e38, 3.4e38), hi(-3.4e38, -3.4e38);
      GrowBoundingBox(lo, hi, e);
      EXPECT_TRUE(std::isfinite(lo.GetX()) && std::isfinite(hi.GetY()));
      ++entities;
    }
  }
  return entities;
}

class OvfBadInput : public ::testing::Test {
 protected:
  void SetUp() override {
    bytes_ = ReadBytes(DataPath("commands.ovf"));
    ASSERT_GT(bytes_.size(), 200u);
  }
  std::vector<std::uint8_t> bytes_;
};

TEST_F(OvfBadInput, FixtureOffsetsAreWhereTheTestsExpectThem) {
  EXPECT_EQ(WordAt(bytes_, kHeaderSize), 'L');
  EXPECT_EQ(WordAt(bytes_, kFirstRecordCount), 1);
  EXPECT_EQ(WordAt(bytes_, kFirstDataLength), 32);  // advance 12 + line 20
  EXPECT_EQ(WordAt(bytes_, kHeaderSize + 60), 'T');
  OVFFontHandler font;
  font.LoadBytes(bytes_);
  EXPECT_EQ(DecodeAll(font), 11u);  // L1 T1 M1 O1 E2 B2 .2 W1 (the second L is never found)
}

TEST_F(OvfBadInput, EveryTruncationIsSafe) {
  for (std::size_t size = 0; size < bytes_.size(); ++size) {
    OVFFontHandler font;
    font.LoadBytes(std::vector<std::uint8_t>(bytes_.begin(), bytes_.begin() + size));
    DecodeAll(font);
    if (size < kHeaderSize) {
      EXPECT_TRUE(font.GetFontInfo().glyphs.empty()) << size;
      EXPECT_EQ(font.GetFontInfo().h[0], 0.0f) << size;  // a header cut short is not taken
    }
    // Cutting the file moves the trailer, so X no longer names the count word: the count read
    // there is whatever lies at that spot; the table is never read past the end of the file.
    EXPECT_LE(font.GetFontInfo().glyphs.size() * 28, size) << size;
  }
}

TEST_F(OvfBadInput, TrailerOutsideTheFileLeavesTheHeaderAndNoGlyphs) {
  for (std::int32_t x :
       {0, 3, -4, INT_MIN, INT_MAX, static_cast<std::int32_t>(bytes_.size()) + 1}) {
    auto bad = bytes_;
    PutWord(bad, bad.size() - 8, x);
    OVFFontHandler font;
    font.LoadBytes(bad);
    EXPECT_TRUE(font.GetFontInfo().glyphs.empty()) << x;
    EXPECT_EQ(font.GetFontInfo().h[0], 10.0f);
    EXPECT_EQ(font.FindGlyph('L'), nullptr);
  }
}

TEST_F(OvfBadInput, HugeOrNegativeCounts) {
  const std::size_t count_at = static_cast<std::size_t>(WordAt(bytes_, bytes_.size() - 8)) - 4;
  {
    // A glyph count far beyond the file: entries are read while they fit, no more.
    auto bad = bytes_;
    PutWord(bad, count_at, INT_MAX);
    OVFFontHandler font;
    font.LoadBytes(bad);
    EXPECT_GE(font.GetFontInfo().glyphs.size(), 9u);
    EXPECT_LE(font.GetFontInfo().glyphs.size() * 28, bad.size());
    DecodeAll(font);
  }
  {
    auto bad = bytes_;
    PutWord(bad, count_at, -5);
    OVFFontHandler font;
    font.LoadBytes(bad);
    EXPECT_TRUE(font.GetFontInfo().glyphs.empty());
  }
  for (std::int32_t records : {-1, INT_MAX, 1 << 26}) {
    // A record count that cannot fit ends the table at that entry.
    auto bad = bytes_;
    PutWord(bad, kFirstRecordCount, records);
    OVFFontHandler font;
    font.LoadBytes(bad);
    EXPECT_TRUE(font.GetFontInfo().glyphs.empty()) << records;
  }
}

TEST_F(OvfBadInput, DataOffsetsAndLengthsOutsideTheFile) {
  const std::int32_t size = static_cast<std::int32_t>(bytes_.size());
  for (std::int32_t offset : {-1, INT_MIN, size, size - 2, INT_MAX}) {
    auto bad = bytes_;
    PutWord(bad, kFirstDataOffset, offset);
    OVFFontHandler font;
    font.LoadBytes(bad);
    const OVFShapeInfo* l = font.FindGlyph('L');
    ASSERT_NE(l, nullptr);
    EXPECT_TRUE(l->GetEntities().empty()) << offset;
    EXPECT_EQ(DecodeAll(font), 10u) << offset;  // every other glyph is untouched
  }
  for (std::int32_t length : {-8, 0, INT_MAX}) {
    auto bad = bytes_;
    PutWord(bad, kFirstDataLength, length);
    OVFFontHandler font;
    font.LoadBytes(bad);
    const OVFShapeInfo* l = font.FindGlyph('L');
    ASSERT_NE(l, nullptr);
    // A huge length runs the commands on into the following data until the file ends; nothing
    // is read past it.
    if (length <= 0) {
      EXPECT_TRUE(l->GetEntities().empty());
    } else {
      EXPECT_GE(l->GetEntities().size(), 1u);
    }
  }
}

TEST_F(OvfBadInput, PolylineAndBezierCountsBeyondTheFile) {
  // T's data: command 0 (12 bytes), then command 2 with its n at +16.
  const auto t_data = static_cast<std::size_t>(WordAt(bytes_, kSecondDataOffset));
  ASSERT_EQ(WordAt(bytes_, t_data + 12), 2);
  for (std::int32_t n : {-1, INT_MIN, INT_MAX, 1 << 28}) {
    auto bad = bytes_;
    PutWord(bad, t_data + 16, n);
    OVFFontHandler font;
    font.LoadBytes(bad);
    const OVFShapeInfo* t = font.FindGlyph('T');
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(t->GetEntities().empty()) << n;
    EXPECT_EQ(t->GetAdvance(), 7.0);  // what came before the bad command stays
  }
  // Make T's polyline a Bezier path with a runaway point count.
  auto bad = bytes_;
  PutWord(bad, t_data + 12, 5);
  PutWord(bad, t_data + 16, INT_MAX);
  OVFFontHandler font;
  font.LoadBytes(bad);
  ASSERT_NE(font.FindGlyph('T'), nullptr);
  EXPECT_TRUE(font.FindGlyph('T')->GetEntities().empty());
}

TEST_F(OvfBadInput, SeededRandomCorruption) {
  std::mt19937 rng(20261206);
  const std::int32_t size = static_cast<std::int32_t>(bytes_.size());
  const std::int32_t specials[] = {0, -1, 1, 4, size - 4, size, INT_MAX, INT_MIN, 0x7FC00000};
  for (int round = 0; round < 3000; ++round) {
    auto bad = bytes_;
    const int hits = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < hits; ++i) {
      const std::size_t at = (rng() % (bad.size() / 4)) * 4;
      const std::int32_t value =
          rng() % 2 ? specials[rng() % std::size(specials)] : static_cast<std::int32_t>(rng());
      PutWord(bad, at, value);
    }
    OVFFontHandler font;
    font.LoadBytes(bad);
    DecodeAll(font);
    (void)font.Metrics(1000.0);
    EXPECT_TRUE(std::isfinite(font.ShapeScale(1000.0)));
  }
}

TEST(FntBadInput, SeededRandomLines) {
  std::mt19937 rng(611);
  const char* heads[] = {"def ", "d ", "m ", "point ", "a ", "p ", "x ", "def", "d", ""};
  const char* numbers[] = {"1",     "-2.5", "1e308",  "-1e308", "nan", "inf", "",
                           "0x1p4", "abc",  "1e-320", "999999", "1e7", "  3 "};
  for (int round = 0; round < 300; ++round) {
    std::string text;
    for (int line = 0; line < 60; ++line) {
      text += heads[rng() % std::size(heads)];
      const int count = static_cast<int>(rng() % 7);
      for (int i = 0; i < count; ++i) {
        if (i) text += rng() % 8 ? "," : ",,";
        text += numbers[rng() % std::size(numbers)];
      }
      text += rng() % 5 ? "\n" : "\r\n";
    }
    for (int mode : {0, 1, 2}) {
      std::istringstream in(text);
      for (const ReaderGlyph& g : ReadFntStream(in, mode)) {
        EXPECT_TRUE(std::isfinite(g.advance));
        for (const CQELEntity* e : g.outline) {
          NURBSPoint lo(3.4e38, 3.4e38), hi(-3.4e38, -3.4e38);
          GrowBoundingBox(lo, hi, e);
          EXPECT_TRUE(std::isfinite(lo.GetX()) && std::isfinite(lo.GetY()));
          EXPECT_TRUE(std::isfinite(hi.GetX()) && std::isfinite(hi.GetY()));
        }
      }
    }
  }
}

TEST(FontBadInput, RandomBytesAndEmptyFilesGiveEmptyFonts) {
  // Whole files of random bytes, of many sizes, and empty files: no glyph from either reader.
  std::mt19937 rng(90210);
  for (std::size_t size : {0u, 1u, 3u, 4u, 7u, 8u, 84u, 85u, 1000u, 65536u}) {
    for (int round = 0; round < 20; ++round) {
      std::vector<std::uint8_t> bytes(size);
      for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
      OVFFontHandler font;
      font.LoadBytes(bytes);
      EXPECT_TRUE(font.GetFontInfo().glyphs.empty()) << size;
      EXPECT_EQ(font.FindGlyph('A'), nullptr);
      EXPECT_TRUE(std::isfinite(font.ShapeScale(1000.0)));
      for (int mode : {0, 1, 2}) {
        std::istringstream in(std::string(bytes.begin(), bytes.end()));
        EXPECT_TRUE(ReadFntStream(in, mode).empty()) << size;
      }
    }
  }
  // Through the registry: the fonts exist, have no characters and answer with the square.
  const auto dir = std::filesystem::temp_directory_path();
  const std::string stem =
      "vuzodo-empty-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed());
  std::vector<char> noise(4096);
  for (char& c : noise) c = static_cast<char>(rng());
  vuzodo::TTFLoader& loader = vuzodo::TTFLoader::Instance();
  for (const char* ext : {".ovf", ".fnt"}) {
    for (bool empty : {true, false}) {
      const auto path = dir / (stem + (empty ? "-0" : "-r") + ext);
      std::ofstream(path, std::ios::binary).write(noise.data(), empty ? 0 : 4096);
      const std::string narrow = path.string();
      const std::u16string face(narrow.begin(), narrow.end());
      vuzodo::FontDataHolder* font = loader.LoadFont(face, 0);
      ASSERT_NE(font, nullptr);
      const vuzodo::CharBufferHolder* a = loader.LoadCharacter(font, 'A');
      ASSERT_NE(a, nullptr) << narrow;
      EXPECT_EQ(a->GetMetrics()[vuzodo::kAdvanceX], 1000.0) << narrow;
      EXPECT_EQ(a->GetOutlines().size(), 1u) << narrow;  // the square
      loader.UnloadFont(face, 0);
      std::filesystem::remove(path);
    }
  }
}

}  // namespace
