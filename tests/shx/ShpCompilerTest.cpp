// The shape compiler: small sources whose compiled bytes are worked out by hand from the file
// layouts, then read back by the SHX reader; and the errors of bad sources.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SHXFontHandler.h"
#include "ShpCompiler.h"

using vuzodo_tools::CompileShp;
using vuzodo_tools::ShpOptions;
using Bytes = std::vector<unsigned char>;

namespace {

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes Compile(const std::string& source, const ShpOptions& options = {}) {
  const auto result = CompileShp(source, options);
  EXPECT_TRUE(result.ok) << result.Describe();
  return result.bytes;
}

TEST(ShpCompilerTest, ShapeFileHeaderIndexAndRecords) {
  const std::string source =
      "; two definitions\n"
      "*0,4,T\n"
      "1,0,2,0\n"
      "*65,4,A   ; decimal number\n"
      "8,(-2,3),0\n";
  const Bytes want = Concat({
      Text("AutoCAD-86 shapes 1.0\r\n\x1a"),  // 24 bytes
      {0x00, 0x00, 0x41, 0x00, 0x02, 0x00},   // lowest 0, highest 65, two entries
      {0x00, 0x00, 0x06, 0x00},               // shape 0: "T", 0, four bytes = 6
      {0x41, 0x00, 0x06, 0x00},               // shape 65: "A", 0, four bytes = 6
      {'T', 0, 1, 0, 2, 0},                   // font information
      {'A', 0, 8, 0xFE, 0x03, 0},             // -2 in two's complement
  });
  EXPECT_EQ(Compile(source), want);
  // Version 1.1 differs in the header text only.
  ShpOptions v11;
  v11.version = "1.1";
  Bytes want11 = want;
  want11[20] = '1';
  EXPECT_EQ(Compile(source, v11), want11);

  // The reader takes it back: count at offset 28, the shape and its bytes without the final 0.
  vuzodo::SHXFontHandler handler;
  handler.OpenBytes(want);
  ASSERT_EQ(handler.GetShapes().size(), 1u);
  EXPECT_EQ(handler.GetFont().name_, "T");
  EXPECT_EQ(handler.GetShapes()[0]->GetShapeNumber(), 65);
  EXPECT_EQ(handler.GetShapes()[0]->GetBytes(), (std::vector<std::int32_t>{8, 0xFE, 3}));
}

TEST(ShpCompilerTest, ByteNotation) {
  // A leading 0 means hexadecimal (also in shape numbers); negatives are two's complement;
  // parentheses only group; a definition may span lines; 0 alone is zero.
  const std::string source =
      "*0,4,T\n1,0,2,0\n"
      "*010,8,X\n"
      "012,0AC,0FF,255,\n"
      "(-1,-128),(+7),0\n";
  const Bytes bytes = Compile(source);
  ASSERT_EQ(bytes.size(), 24u + 6 + 8 + 6 + 10);
  EXPECT_EQ(bytes[28 + 6], 0x10);  // shape number 010 is 16
  EXPECT_EQ(bytes[28 + 8], 10);    // "X", 0 and eight bytes
  const Bytes record(bytes.end() - 10, bytes.end());
  EXPECT_EQ(record, (Bytes{'X', 0, 0x12, 0xAC, 0xFF, 0xFF, 0xFF, 0x80, 0x07, 0x00}));
}

TEST(ShpCompilerTest, UnicodeFontLayout) {
  const std::string source =
      "*UNIFONT,6,U\n"
      "4,1,0,0,0,0\n"
      "*04E20,2,Z\n"
      "044,0\n";
  const Bytes want = Concat({
      Text("AutoCAD-86 unifont 1.0\r\n\x1a"),  // 25 bytes
      {0x02, 0x00, 0x00, 0x00},                // two records, font information included
      {0x08, 0x00},                            // font information: "U", 0 and six bytes
      {'U', 0, 4, 1, 0, 0, 0, 0},
      {0x20, 0x4E, 0x04, 0x00},  // shape 0x4E20: "Z", 0 and two bytes
      {'Z', 0, 0x44, 0},
  });
  EXPECT_EQ(Compile(source), want);
  vuzodo::SHXFontHandler handler;
  handler.OpenBytes(want);
  ASSERT_EQ(handler.GetShapes().size(), 1u);
  EXPECT_EQ(handler.GetShapes()[0]->GetShapeNumber(), 0x4E20);
  EXPECT_EQ(handler.GetFont().above_, 4);
}

TEST(ShpCompilerTest, BigFontIndexOffsetsAndEmptySlots) {
  const std::string source =
      "*BIGFONT 2,1,081,09F\n"
      "*0,4,B\n"
      "8,2,0,0\n"
      "*08141,2,K\n"
      "014,0\n";
  ShpOptions options;
  options.empty_slots = 1;
  // 25 + 6 + 4 header bytes, then three index entries of 8: the definitions start at 59.
  const Bytes want = Concat({
      Text("AutoCAD-86 bigfont 1.0\r\n\x1a"),
      {0x02, 0x00, 0x03, 0x00, 0x01, 0x00},              // shapes, index entries, ranges
      {0x81, 0x00, 0x9F, 0x00},                          // escape range 0x81-0x9F
      {0x00, 0x00, 0x06, 0x00, 0x3B, 0x00, 0x00, 0x00},  // font information at 59
      {0x41, 0x81, 0x04, 0x00, 0x41, 0x00, 0x00, 0x00},  // 0x8141 at 59 + 6 = 65
      {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},  // the empty slot
      {'B', 0, 8, 2, 0, 0},
      {'K', 0, 0x14, 0},
  });
  EXPECT_EQ(Compile(source, options), want);
  vuzodo::SHXFontHandler handler;
  handler.OpenBytes(want);
  ASSERT_EQ(handler.GetShapes().size(), 1u);
  EXPECT_EQ(handler.GetShapes()[0]->GetShapeNumber(), 0x8141);
  EXPECT_EQ(handler.GetShapes()[0]->GetDataOffset(), 65);
  EXPECT_EQ(handler.GetFont().above_, 8);
  // Without slots every offset moves 8 bytes down.
  const Bytes packed = Compile(source);
  ASSERT_EQ(packed.size(), want.size() - 8);
  EXPECT_EQ(packed[27], 0x02);  // index entries
  EXPECT_EQ(packed[35 + 4], 0x33);
  EXPECT_EQ(packed[43 + 4], 0x39);
}

TEST(ShpCompilerTest, ErrorsNameTheirLine) {
  struct Case {
    const char* source;
    int line;
    const char* message;
  };
  const ShpOptions none;
  for (const Case& c : {
           Case{"*0,4,T\n1,0,2\n", 1, "4 bytes declared, 3 given"},
           Case{"*0,3,T\n1,0,2\n", 1, "definition must end with 0"},
           Case{"*0,4,T\n1,0,2,0\n*1,2,X\n0x,0\n", 4, "bad number '0x'"},
           Case{"*0,4,T\n1,0,2,0\n*1,2,X\n12a,0\n", 4, "bad number '12a'"},
           Case{"*0,4,T\n1,0,2,0\n*1,2,X\n,-,0\n", 4, "bad number '-'"},
           Case{"\n014,0\n", 2, "bytes before any definition"},
           Case{"*0,4,T\n1,0,2,0\n*70000,1,X\n0\n", 3, "shape number 70000 out of range"},
           Case{"*0,4,T\n1,0,256,0\n", 2, "byte 256 out of range"},
           Case{"*0,4,T\n1,0,-129,0\n", 2, "byte -129 out of range"},
           Case{"; nothing\n", 0, "no definitions"},
           Case{"*1,2,X\n014,0\n", 1, "a shape file starts with *0, its font information"},
           Case{"*0\n", 1, "header needs code and byte count"},
           Case{"*0,x4,T\n", 1, "bad number 'x4'"},
           Case{"*BIGFONT 2,2,081,09F\n*0,4,B\n8,2,0,0\n", 1,
                "*BIGFONT needs n, r and r start/end pairs"},
           Case{"*BIGFONT 2,0\n*1,2,K\n014,0\n", 2,
                "a big font's first definition is *0, its font information"},
           Case{"*0,4,T\n1,0,2,0\n*BIGFONT 1,0\n", 3, "*BIGFONT must be the first definition"},
           Case{"*UNIFONT,6,U\n4,1,0,0,0,0\n*UNIFONT,6,V\n4,1,0,0,0,0\n", 3,
                "*UNIFONT must be the first definition"},
       }) {
    const auto result = CompileShp(c.source, none);
    EXPECT_FALSE(result.ok) << c.source;
    EXPECT_TRUE(result.bytes.empty());
    EXPECT_EQ(result.line, c.line) << c.source;
    EXPECT_EQ(result.message, c.message) << c.source;
  }
  const auto described = CompileShp("*0,4,T\n1,0,2\n");
  EXPECT_EQ(described.Describe(), "line 1: 4 bytes declared, 3 given");
  EXPECT_EQ(CompileShp("").Describe(), "no definitions");
  // Options that do not fit the source.
  ShpOptions slots;
  slots.empty_slots = 2;
  EXPECT_EQ(CompileShp("*0,4,T\n1,0,2,0\n", slots).message, "empty slots apply to big fonts only");
  ShpOptions version;
  version.version = "2.0";
  EXPECT_EQ(CompileShp("*0,4,T\n1,0,2,0\n", version).message, "version must be 1.0 or 1.1");
}

TEST(ShpCompilerTest, ShapeFileOf300ShapesCompilesButYieldsNoShapes) {
  // The count is a 16-bit field: 300 = 0x012C puts 1 at offset 29, which the reader takes for a
  // file it does not read. With 255 entries (0xFF, 0x00) every shape loads.
  for (int count : {300, 255}) {
    std::string source = "*0,4,T\n1,0,2,0\n";
    for (int k = 1; k < count; ++k) {
      // Appended piece by piece: GCC 12 at -O3 takes "literal + string" for an overlapping copy.
      source += '*';
      source += std::to_string(k);
      source += ",2,S\n014,0\n";
    }
    const Bytes bytes = Compile(source);
    ASSERT_GT(bytes.size(), 30u);
    EXPECT_EQ(bytes[28], count & 0xFF);
    EXPECT_EQ(bytes[29], count >> 8);
    vuzodo::SHXFontHandler handler;
    handler.OpenBytes(bytes);
    EXPECT_EQ(handler.GetShapes().size(), count > 255 ? 0u : static_cast<std::size_t>(count - 1))
        << count;
  }
}

TEST(ShpCompilerTest, FieldsThatOverflowAreRefused) {
  // A definition longer than a 16-bit length field.
  std::string source = "*0,4,T\n1,0,2,0\n*1,70000,LONG\n";
  for (int k = 0; k < 69999; ++k) source += "1,";
  source += "0\n";
  const auto result = CompileShp(source);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.line, 3);
  EXPECT_EQ(result.message, "definition length 70005 does not fit");
}

}  // namespace
