// The SHX reader: every fixture's shapes against outlines worked out by hand (data/*.golden), the
// headers, byte patches with a defined outcome, the survey; the shape compiler's error messages.
#include <algorithm>
#include <filesystem>

#include "ReaderTestSupport.h"
#include "SHXFontHandler.h"
#include "ShpCompiler.h"
#include "vuzodo/vuzodo.h"

using namespace vuzodo;
using readertest::Describe;
using vuzodo_tools::CompileShp;
using vuzodo_tools::ShpOptions;

namespace {

std::string Fixture(const std::string& name) {
  return name == "futural" ? SHX_HERSHEY_FIXTURE : SHX_FIXTURE_DIR "/" + name + ".shx";
}

TEST(ShxGolden, EveryShapeMatchesItsHandWorkedOutline) {
  for (const std::string fixture : {"shapes", "shapes11", "unifont", "bigfont", "bigfont_slots",
                                    "extbig", "cases", "fanout", "futural"}) {
    if (!std::filesystem::exists(Fixture(fixture))) continue;  // futural, without its package
    const std::string golden = fixture == "shapes11"        ? "shapes"
                               : fixture == "bigfont_slots" ? "bigfont"
                                                            : fixture;
    const double units = fixture == "futural" ? 21 : 1;  // font units per output unit
    const std::string path = Fixture(fixture);
    const std::u16string wide(path.begin(), path.end());
    SHXFontHandler handler;
    handler.Open(reinterpret_cast<const unsigned short*>(wide.c_str()));
    const auto want = readertest::GoldenLines(std::ifstream(SHX_DATA_DIR "/" + golden + ".golden"));
    ASSERT_FALSE(want.empty()) << golden;
    std::vector<std::string> got;
    for (const std::string& line : want) {
      if (!line.starts_with("shape ")) continue;
      const std::int32_t code = std::stoi(line.substr(6));
      std::vector<CQELEntity*> outline = handler.BuildShape(code).value();
      std::ostringstream head;
      head.precision(17);
      const bool refused = handler.WasRefused();
      head << "shape " << code << " advance " << (refused ? 0.0 : handler.GetAdvance() * units)
           << (refused ? " refused" : "");
      got.push_back(head.str());
      for (std::string& entity : Describe(outline, units)) got.push_back(std::move(entity));
      DeleteEntities(outline);
    }
    EXPECT_TRUE(readertest::SameOutline(got, want, 1e-9)) << fixture;
  }
}

TEST(ShxFonts, HeadersShapeListsAndSurvey) {
  struct Row {
    std::string fixture;
    SHXFontKind kind;
    const char* name;
    int above, below;          // -1: not given
    std::vector<int> numbers;  // in file order, as GetCustomFontRange lists them
  };
  const std::vector<int> shapes = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                                   12, 13, 14, 15, 17, 18, 19, 25, 26, 63, 30};
  std::vector<int> hershey;
  for (int c = 32; c < 128; ++c) hershey.push_back(c);
  const Row rows[] = {
      {"shapes", SHXFontKind::kShapes, "TESTSHAPES", 1, 0, shapes},
      {"unifont", SHXFontKind::kUnifont, "TESTUNI", 4, 1, {0x41, 0x42, 0x4E20}},
      {"bigfont_slots", SHXFontKind::kBigfont, "TESTBIG", 8, 2, {0x41, 0x8141, 0x8142}},
      {"extbig", SHXFontKind::kExtendedBig, "TESTEXT", -1, -1, {0x8141, 0x8142, 0x8143}},
      {"futural", SHXFontKind::kShapes, "HERSHEY FUTURAL", 21, 7, hershey}};
  for (const Row& r : rows) {
    if (!std::filesystem::exists(Fixture(r.fixture))) continue;
    SHXFontHandler handler;
    handler.OpenNarrow(Fixture(r.fixture));
    const SHXFont& font = handler.GetFont();
    EXPECT_EQ(font.GetKind(), r.kind) << r.fixture;
    EXPECT_EQ(font.name_, r.name) << r.fixture;
    EXPECT_TRUE(r.above < 0 || (font.above_ == r.above && font.below_ == r.below)) << r.fixture;
    InitializeTTF(1000.0f);
    const std::string path = Fixture(r.fixture);
    std::u16string face(path.begin(), path.end());
    EXPECT_EQ(SetFontFace(reinterpret_cast<unsigned short*>(face.data())), 1);
    int* codes = nullptr;
    const int count = GetCustomFontRange(&codes);
    EXPECT_EQ(std::vector<int>(codes, codes + std::max(count, 0)), r.numbers) << r.fixture;
    DeleteTTFData(codes);
  }
  SHXFontHandler uni;  // no "?" to stand in for a number it lacks
  uni.OpenNarrow(Fixture("unifont"));
  EXPECT_FALSE(uni.BuildShape(200).has_value());
  InitializeTTF(1000.0f);
  // The survey the registry takes at load leaves the refused shape out and lists a doubled
  // number twice, as building every shape does (Hostile.shx compares the two on damaged files).
  SHXFontHandler cases;
  cases.OpenNarrow(Fixture("cases"));
  const SHXShapeSurvey survey = cases.SurveyShapes(1.0);
  EXPECT_EQ(std::vector<std::int32_t>(survey.codes.begin(), survey.codes.begin() + 5),
            (std::vector<std::int32_t>{48, 50, 50, 51, 1}));
  EXPECT_EQ(std::count(survey.codes.begin(), survey.codes.end(), 49), 0);
}

// Counts, offsets and lengths patched to point beyond the file drop what they describe, no more.
TEST(ShxBadFiles, PatchedHeadersIndexesAndLengths) {
  struct Row {
    const char* fixture;
    std::vector<std::pair<std::size_t, unsigned char>> patches;
    std::size_t shapes;
  };
  const Row rows[] = {
      {"shapes", {{0, 'a'}}, 0},                             // a header naming no kind
      {"shapes", {{29, 1}}, 0},                              // 256 + 22 shapes: not read
      {"bigfont", {{29, 0xFF}, {30, 0xFF}}, 0},              // escape ranges past the end
      {"bigfont", {{39, 0xFF}, {40, 0xFF}}, 0},              // font information past the end
      {"bigfont", {{47, 0xFF}, {48, 0xFF}, {49, 0xFF}}, 2},  // one shape's offset past the end
      {"unifont", {{56, 0xFF}, {57, 0xFF}}, 1},              // B's length 0xFFFF: B and BIG go
      {"unifont", {{56, 1}}, 1},                             // B's length shorter than its name too
  };
  for (const Row& r : rows) {
    auto bytes = readertest::ReadBytes(Fixture(r.fixture));
    for (auto [at, value] : r.patches) bytes.at(at) = value;
    SHXFontHandler handler;
    handler.OpenBytes(bytes);
    EXPECT_EQ(handler.GetShapes().size(), r.shapes) << r.fixture << " " << r.patches.size();
  }
}

// A prefix of a shape file or unicode font loads a prefix of its shapes, byte for byte; a prefix
// of a big font some of them. Nothing else ever appears.
TEST(ShxBadFiles, EveryTruncationLoadsOnlyShapesOfTheWholeFile) {
  for (const char* name : {"shapes", "unifont", "bigfont", "bigfont_slots", "extbig", "cases"}) {
    const auto full = readertest::ReadBytes(Fixture(name));
    SHXFontHandler complete;
    complete.OpenBytes(full);
    const auto& all = complete.GetShapes();
    for (std::size_t length = 0; length < full.size(); ++length) {
      SHXFontHandler handler;
      handler.OpenBytes(std::vector<unsigned char>(full.begin(), full.begin() + length));
      std::size_t k = 0;
      for (const auto& shape : handler.GetShapes()) {
        while (k < all.size() && all[k]->GetShapeNumber() != shape->GetShapeNumber()) ++k;
        ASSERT_LT(k, all.size()) << name << " length " << length;
        EXPECT_EQ(shape->GetBytes(), all[k++]->GetBytes()) << name << " length " << length;
      }
    }
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
  const Row rows[] = {
      {"*0,4,T\n1,0,2\n", 1, "4 bytes declared, 3 given"},
      {"*0,3,T\n1,0,2\n", 1, "definition must end with 0"},
      {"*0,4,T\n1,0,2,0\n*1,2,X\n0x,0\n", 4, "bad number '0x'"},
      {"\n014,0\n", 2, "bytes before any definition"},
      {"*0,4,T\n1,0,2,0\n*70000,1,X\n0\n", 3, "shape number 70000 out of range"},
      {"*0,4,T\n1,0,256,0\n", 2, "byte 256 out of range"},
      {"; nothing\n", 0, "no definitions"},
      {"*1,2,X\n014,0\n", 1, "a shape file starts with *0, its font information"},
      {"*0\n", 1, "header needs code and byte count"},
      {"*BIGFONT 2,2,081,09F\n*0,4,B\n8,2,0,0\n", 1, "*BIGFONT needs n, r and r start/end pairs"},
      {"*BIGFONT 2,0\n*1,2,K\n014,0\n", 2,
       "a big font's first definition is *0, its font information"},
      {"*0,4,T\n1,0,2,0\n*BIGFONT 1,0\n", 3, "*BIGFONT must be the first definition"},
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
  EXPECT_EQ(CompileShp("").Describe(), "no definitions");
}

}  // namespace
