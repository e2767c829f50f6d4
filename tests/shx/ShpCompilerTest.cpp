// The shape compiler: small sources whose compiled bytes are worked out by hand from the file
// layouts and read back by the SHX reader, and the one-line errors of bad sources.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SHXFontHandler.h"
#include "ShpCompiler.h"

using vuzodo_tools::CompileShp;
using vuzodo_tools::ShpOptions;
using Bytes = std::vector<unsigned char>;

namespace {

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}
Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

TEST(ShpCompiler, LayoutsOfEveryKind) {
  struct Row {
    const char* source;
    ShpOptions options;
    Bytes want;
    std::int32_t first_shape;  // as the reader finds it
  };
  const Row rows[] = {
      {"; two definitions\n*0,4,T\n1,0,2,0\n*65,4,A   ; decimal\n8,(-2,3),0\n",
       {},
       Concat({Text("AutoCAD-86 shapes 1.0\r\n\x1a"),
               {0x00, 0x00, 0x41, 0x00, 0x02, 0x00},  // lowest 0, highest 65, two entries
               {0x00, 0x00, 0x06, 0x00, 0x41, 0x00, 0x06, 0x00},  // number, length
               {'T', 0, 1, 0, 2, 0, 'A', 0, 8, 0xFE, 0x03, 0}}),  // -2 as two's complement
       65},
      {"*0,4,T\n1,0,2,0\n*010,8,X\n012,0AC,0FF,255,\n(-1,-128),(+7),0\n",
       {"1.1", 0},  // a leading 0 is hexadecimal; parentheses only group; lines continue
       Concat({Text("AutoCAD-86 shapes 1.1\r\n\x1a"),
               {0, 0, 0x10, 0, 2, 0},
               {0, 0, 6, 0, 0x10, 0, 10, 0},
               {'T', 0, 1, 0, 2, 0},
               {'X', 0, 0x12, 0xAC, 0xFF, 0xFF, 0xFF, 0x80, 0x07, 0x00}}),
       16},
      {"*UNIFONT,6,U\n4,1,0,0,0,0\n*04E20,2,Z\n044,0\n",
       {},
       Concat({Text("AutoCAD-86 unifont 1.0\r\n\x1a"),
               {0x02, 0x00, 0x00, 0x00},
               {0x08, 0x00, 'U', 0, 4, 1, 0, 0, 0, 0},
               {0x20, 0x4E, 0x04, 0x00, 'Z', 0, 0x44, 0}}),
       0x4E20},
      // 25 + 6 + 4 header bytes and three index entries of 8: the definitions start at 59.
      {"*BIGFONT 2,1,081,09F\n*0,4,B\n8,2,0,0\n*08141,2,K\n014,0\n",
       {"1.0", 1},
       Concat({Text("AutoCAD-86 bigfont 1.0\r\n\x1a"),
               {0x02, 0x00, 0x03, 0x00, 0x01, 0x00},              // shapes, entries, ranges
               {0x81, 0x00, 0x9F, 0x00},                          // escape range 0x81-0x9F
               {0x00, 0x00, 0x06, 0x00, 0x3B, 0x00, 0x00, 0x00},  // font information at 59
               {0x41, 0x81, 0x04, 0x00, 0x41, 0x00, 0x00, 0x00},  // 0x8141 at 59 + 6
               {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},  // the empty slot
               {'B', 0, 8, 2, 0, 0, 'K', 0, 0x14, 0}}),
       0x8141},
  };
  for (const Row& r : rows) {
    const auto result = CompileShp(r.source, r.options);
    ASSERT_TRUE(result.ok) << result.Describe();
    EXPECT_EQ(result.bytes, r.want) << r.source;
    vuzodo::SHXFontHandler handler;
    handler.OpenBytes(result.bytes);
    ASSERT_EQ(handler.GetShapes().size(), 1u) << r.source;
    EXPECT_EQ(handler.GetShapes()[0]->GetShapeNumber(), r.first_shape);
  }
}

TEST(ShpCompiler, ErrorsNameTheirLine) {
  std::string overlong = "*0,4,T\n1,0,2,0\n*1,70000,LONG\n";
  for (int k = 0; k < 69999; ++k) overlong += "1,";
  struct Row {
    std::string source;
    int line;  // -1: an option, not a line, is at fault
    const char* message;
    ShpOptions options = {};
  };
  const std::string big = "*BIGFONT 2,";
  const Row rows[] = {
      {"*0,4,T\n1,0,2\n", 1, "4 bytes declared, 3 given"},
      {"*0,3,T\n1,0,2\n", 1, "definition must end with 0"},
      {"*0,4,T\n1,0,2,0\n*1,2,X\n0x,0\n", 4, "bad number '0x'"},
      {"*0,4,T\n1,0,2,0\n*1,2,X\n,-,0\n", 4, "bad number '-'"},
      {"\n014,0\n", 2, "bytes before any definition"},
      {"*0,4,T\n1,0,2,0\n*70000,1,X\n0\n", 3, "shape number 70000 out of range"},
      {"*0,4,T\n1,0,256,0\n", 2, "byte 256 out of range"},
      {"*0,4,T\n1,0,-129,0\n", 2, "byte -129 out of range"},
      {"; nothing\n", 0, "no definitions"},
      {"*1,2,X\n014,0\n", 1, "a shape file starts with *0, its font information"},
      {"*0\n", 1, "header needs code and byte count"},
      {"*0,x4,T\n", 1, "bad number 'x4'"},
      {big + "2,081,09F\n*0,4,B\n8,2,0,0\n", 1, "*BIGFONT needs n, r and r start/end pairs"},
      {big + "0\n*1,2,K\n014,0\n", 2, "a big font's first definition is *0, its font information"},
      {"*0,4,T\n1,0,2,0\n*BIGFONT 1,0\n", 3, "*BIGFONT must be the first definition"},
      {"*UNIFONT,6,U\n4,1,0,0,0,0\n*UNIFONT,6,V\n", 3, "*UNIFONT must be the first definition"},
      {overlong + "0\n", 3, "definition length 70005 does not fit"},
      {"*0,4,T\n1,0,2,0\n", -1, "empty slots apply to big fonts only", {"1.0", 2}},
      {"*0,4,T\n1,0,2,0\n", -1, "version must be 1.0 or 1.1", {"2.0", 0}},
  };
  for (const Row& r : rows) {
    const auto result = CompileShp(r.source, r.options);
    EXPECT_FALSE(result.ok) << r.message;
    EXPECT_TRUE(result.bytes.empty()) << r.message;
    EXPECT_TRUE(r.line < 0 || result.line == r.line) << r.message << ": line " << result.line;
    EXPECT_EQ(result.message, r.message);
  }
  EXPECT_EQ(CompileShp("*0,4,T\n1,0,2\n").Describe(), "line 1: 4 bytes declared, 3 given");
  EXPECT_EQ(CompileShp("").Describe(), "no definitions");
}

}  // namespace
