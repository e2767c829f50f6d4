// The engine in-process: the hard limits at their boundaries, font files that are no regular
// files, and the retrieval and path frames on lines written by hand, worked on paper.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

#include "FntReader.h"
#include "FontFile.h"
#include "Limits.h"
#include "NurbPath.h"
#include "OutlineCreator.h"
#include "QELEntity.h"
#include "TTFLoader.h"
#include "VUZODO.h"
#include "vuzodo/vuzodo.h"

using namespace vuzodo;
namespace fs = std::filesystem;

namespace {

unsigned short* U(std::u16string& text) {
  return reinterpret_cast<unsigned short*>(text.data());
}
std::vector<int> Take(int* data, int count) {
  std::vector<int> out(data, data + count);
  ReleaseHostArray(data);
  return out;
}
std::vector<int> Fetch(int (*fn)(int, EN_ReturnType, int**, float*), int index, int type,
                       float* box = nullptr) {
  int* data = nullptr;
  const int n = fn(index, static_cast<EN_ReturnType>(type), &data, box);
  return Take(data, n);
}
std::vector<int> Ints(const std::vector<double>& list) {
  int n = 0;
  int* a = ToIntArray(list, n);
  return Take(a, n);
}
TTFState& Line() {
  return *TTFLoader::Instance().GetCurrentLine();
}

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeTTF(1000.0f);
    SetDefaults();
  }
};

// ---- hard limits: exactly the limit is taken, one more is refused and changes nothing ----

constexpr std::size_t kUnits = limits::kMaxAppendUnits, kLine = limits::kMaxLineCharacters;
constexpr int kTextLines = static_cast<int>(limits::kMaxTextLines);

TEST_F(Engine, LimitsOfAppendsLinesAndTexts) {
  std::u16string over(kUnits + 1, u' '), feeds(kUnits + 1, u'\n'), exact(kUnits, u' ');
  EXPECT_EQ(AppendCharactersEx(U(over)) + AppendCharacters(U(over)), 0);
  EXPECT_EQ(AppendCharactersOVF(U(over)), 0);
  EXPECT_EQ(AppendCharactersEx(U(feeds)), 0);  // units, not characters
  EXPECT_EQ(GetCharacterCount(-1) + GetTextLineCount(), 1);
  EXPECT_EQ(AppendCharactersOVF(U(exact)) + AppendCharactersEx(U(exact)), 2);
  EXPECT_EQ(GetCharacterCount(-1), static_cast<int>(kLine));  // a full line, across appends
  std::u16string c = u"C", next = u"\nC", second(kUnits, u' '), more = u"\nA";
  EXPECT_EQ(AppendCharacters(U(c)) + AppendCharactersEx(U(c)), 0);
  EXPECT_EQ(AppendCharactersEx(U(next)), 1);  // a line feed first: a new line takes it
  EXPECT_EQ(GetTextLineCount() * 1000000 + GetCharacterCount(1), 2000001);
  // The text limit reached exactly; one more character on a new line is refused.
  FinishText();
  second[0] = u'\n';
  EXPECT_EQ(AppendCharactersEx(U(exact)) + AppendCharactersEx(U(second)) + AppendCharactersEx(U(c)),
            3);
  ASSERT_EQ(GetCharacterCount(-1), static_cast<int>(limits::kMaxTextCharacters));
  EXPECT_EQ(AppendCharactersEx(U(more)), 0);
  EXPECT_EQ(GetTextLineCount(), 2);
  FinishText();  // a new text counts from 0
  EXPECT_EQ(AppendCharactersEx(U(more)), 1);
}

TEST_F(Engine, LimitOfLinesAlsoForWordWrap) {
  std::u16string feeds(kTextLines - 1, u'\n'), ab = u"A\nB", abc = u"AB", all(kTextLines, u'\n');
  ASSERT_EQ(AppendCharactersEx(U(feeds)), 1);
  EXPECT_EQ(AppendCharactersEx(U(ab)), 0);
  EXPECT_EQ(GetTextLineCount() * 10 + GetCharacterCount(-1), kTextLines * 10);
  EXPECT_EQ(AppendCharactersEx(U(abc)), 1);  // no line feed: onto the last line
  EXPECT_EQ(GetCharacterCount(kTextLines - 1), 2);
  // Vertical mode set before InitializeTTF: the new first line is horizontal again.
  SetModeVertical();
  InitializeTTF(1000.0f);
  EXPECT_EQ(AppendCharactersEx(U(all)) * 10 + GetTextLineCount(), 0);
  SetDefaults();
  SetModeWordWrap(EN_TRUE);
  SetTextBoxWidth(0.001f);  // every word wraps
  std::u16string words = u"A A A A", fewer(kTextLines - 2, u'\n');
  ASSERT_EQ(AppendCharactersEx(U(words)), 1);
  EXPECT_EQ(GetTextLineCount(), 4);
  FinishText();
  ASSERT_EQ(AppendCharactersEx(U(fewer)) + AppendCharactersEx(U(words)), 2);
  EXPECT_EQ(GetTextLineCount(), kTextLines);  // one wrap reaches the limit, the rest stays
  EXPECT_EQ(GetCharacterCount(kTextLines - 1), 5);
}

// Every font reader passes one gate: a FIFO, /dev/zero or a folder can neither block nor run for
// ever.

TEST(FontFiles, BadFontFilesAreRefusedWithoutBlocking) {
  const fs::path dir = fs::temp_directory_path() / ("vuzodo-fonts-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string folder = dir.string();
  const auto fifo = [&](const std::string& name) {
    EXPECT_EQ(::mkfifo((dir / name).c_str(), 0600), 0);
    return (dir / name).string();
  };
  const auto file = [&](const std::string& name, const std::string& bytes, std::uintmax_t size) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
    fs::resize_file(dir / name, size);  // zeros after `bytes`, sparse
    return (dir / name).string();
  };
  constexpr std::uintmax_t kFileLimit = limits::kMaxFontFileBytes;
  std::uintmax_t size = 1;
  const std::string exact = file("exact.shx", "", kFileLimit);
  EXPECT_TRUE(FontFileSize(exact, size) && size == kFileLimit);
  EXPECT_FALSE(FontFileSize(file("over.shx", "", kFileLimit + 1), size) || size != 0);
  fs::create_symlink(exact, dir / "link.shx");  // links are followed
  fs::create_symlink("/dev/zero", dir / "zero.fnt");
  EXPECT_TRUE(IsReadableFontFile(folder + "/link.shx"));
  for (const std::string& bad : {fifo("fifo.shx"), folder, std::string("/dev/zero"),
                                 folder + "/zero.fnt", folder + "/missing.shx", std::string()}) {
    EXPECT_FALSE(IsReadableFontFile(bad)) << bad;
  }
  // Through the readers: a FIFO (whose open blocked) gives nothing, a small file is read.
  const std::string fnt = "def 65\nd 1,0\nd 0,1\n";
  EXPECT_TRUE(ReadFntFile(fifo("fifo.fnt"), kFntArcsAsEntities).empty());
  EXPECT_EQ(ReadFntFile(file("font.fnt", fnt, fnt.size()), kFntArcsAsEntities).size(), 1u);
  // TrueType: the default face answers instead.
  InitializeTTF(1000.0f);
  FontInformation info{};
  const std::string ttf_fifo = fifo("fifo.ttf");
  std::u16string face(ttf_fifo.begin(), ttf_fifo.end());
  GetFontInformation(U(face), EN_STYLE_REGULAR, &info);
  EXPECT_GT(info.emSquare, 0);
  fs::remove_all(dir);
}

// The records' rounding: half away from zero, residues carried, saturated at the int range.
TEST(IntArray, RoundingCarriesResiduesAndSaturates) {
  using V = std::vector<int>;
  // A move of (0.4, 0.4) rounds to nothing: dropped, its fraction carried into the next one.
  EXPECT_EQ(Ints({40, 0.4, 0.4, 40, 0.4, 0.4, 41, 1.0, 0}), (V{40, 1, 1, 41, 1, 0, -1}));
  EXPECT_EQ(Ints({41, 0.2, 0, 466, 0, 0}), (V{466, 0, 0, -1}));  // a dot is never dropped
  EXPECT_EQ(Ints({40, 2e9, -2e9, 40, 2e9, -2e9, 41, 1, 0}),
            (V{40, 2147483647, -2147483647 - 1, 41, 1, 0, -1}));  // merged moves saturate
  // Arcs round their end with residues and their centre without; a cut-off arc ends the list.
  EXPECT_EQ(Ints({42, 10.4, 0.4, 5.6, -0.6, 41, 0.2, 0.2}), (V{42, 10, 0, 6, -1, 41, 1, 1, -1}));
  EXPECT_EQ(Ints({41, 1, 1, 42, 1, 2}), (V{41, 1, 1, -1}));
  EXPECT_EQ(RoundHalfAway(2.5) * 10 + RoundHalfAway(-2.5), 27);
  EXPECT_EQ(RoundHalfAway(1e300), 2147483647);
  EXPECT_EQ(RoundHalfAway(-1e300), -2147483647 - 1);
  EXPECT_EQ(RoundHalfAway(std::numeric_limits<double>::quiet_NaN()), 0);
}

// One character of advance 500: outline "draw 100 right, move to the end", fill "draw 50 up,
// move to the end", box [0, 500] x [-200, 700].
TTFState& AddLine(bool first) {
  auto& loader = TTFLoader::Instance();
  TTFState& line = first ? *loader.GetCurrentLine() : *loader.PushLine();
  line.maximum_ascent = 700;
  line.maximum_descent = -200;
  line.character_count = 1;
  line.advances = {500, 0};
  line.outline_stream = RecordStream::FromFlat({41, 100, 0, 40, 400, 0});
  line.outline_ends = {line.outline_stream.End()};
  line.fill_stream = RecordStream::FromFlat({41, 0, 50, 40, 500, -50});
  line.fill_ends = {line.fill_stream.End()};
  line.hatch_stream = RecordStream::FromFlat({40, 500, 0});
  line.hatch_ends = {line.hatch_stream.End()};
  line.character_boxes.push_back(CharacterBox{{0, 500, 500, 0}, {-200, -200, 700, 700}});
  return line;
}

TEST_F(Engine, RetrievalFramesOnHandWrittenLines) {
  using V = std::vector<int>;
  AddLine(true);
  float box[10] = {};
  EXPECT_EQ(Fetch(GetOutLinesEx, -1, 0, box), (V{41, 100, 0, 40, -100, 0, -1}));
  EXPECT_EQ(std::vector<float>(box, box + 8),
            (std::vector<float>{0, -200, 500, -200, 500, 700, 0, 700}));
  // Top alignment moves the block down by the first ascent in horizontal mode only.
  EXPECT_EQ(Fetch(GetMultilineOutLines, -1, 0), (V{40, 0, -700, 41, 100, 0, 40, -100, 700, -1}));
  SetModeVertical();
  EXPECT_EQ(Fetch(GetMultilineOutLines, -1, 0), (V{41, 100, 0, 40, -100, 0, -1}));
  // The older line form counts what it allocates; the tail after the end mark is zero.
  EXPECT_EQ(Fetch(GetOutLines, -1, 0), (V{41, 100, 0, 40, -100, 0, -1, 0, 0, 0}));
  EXPECT_EQ(Fetch(GetOutLines, -1, 3),
            (V{41, 100, 0, 40, -100, 0, 41, 0, 50, 40, 0, -50, -1, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Fetch(GetOutLines, 0, 3),  // outline slice, the move back, fill slice
            (V{41, 100, 0, 40, 400, 0, 40, -500, 0, 41, 0, 50, 40, 500, -50, -1}));
  for (auto [index, type] : {std::pair{-1, 9}, {0, 7}, {1, 0}}) {
    EXPECT_EQ(Fetch(GetOutLines, index, type), V{-1});
  }
  AddLine(false);
  // Line 1 starts 200 + 700 lower and 500 back from where line 0 ended.
  EXPECT_EQ(Fetch(GetOutLinesEx, 1, 0, box), (V{40, -500, -900, 41, 100, 0, 40, 400, 0, -1}));
  EXPECT_EQ(std::vector<float>(box, box + 10),
            (std::vector<float>{-500, -1100, 0, -1100, 0, -200, -500, -200, 0, -900}));
  // Fill first for type 4: the move back to the origin merges with the fill's end.
  EXPECT_EQ(Fetch(GetOutLinesEx, 0, 4), (V{41, 0, 50, 40, 0, -50, 41, 100, 0, 40, 400, 0, -1}));
  box[0] = 7;
  EXPECT_EQ(Fetch(GetOutLinesEx, 5, 0, box), V{-1});
  EXPECT_EQ(box[0], 7.0f);
  InitializeTTF(1000.0f);
  EXPECT_EQ(Fetch(GetOutLinesEx, -1, 0, box), V{-1});
  EXPECT_EQ(GetTextLineCount() * 10 + static_cast<int>(box[0]), 7);
}

TEST_F(Engine, TotalBoundingBoxIncludesTheBulgeOfArcs) {
  TTFState& line = AddLine(true);
  // An arc of radius 100 about (60, 80) from (0, 0) to (120, 0) dips to y = -20.
  line.outline_stream = RecordStream::FromFlat({42, 120, 0, 60, 80, 40, -120, 0});
  line.hatch_stream.clear();
  line.fill_stream.clear();
  float box[4];
  GetTotalBoundingBox(box);
  EXPECT_EQ(std::vector<float>(box, box + 4), (std::vector<float>{0, -20, 120, 0}));
  // Ending in the arc, the outline has no closing move to fold the way back into.
  line.outline_stream = RecordStream::FromFlat({42, 120, 0, 60, 80});
  EXPECT_EQ(Fetch(GetOutLinesEx, -1, 0), (std::vector<int>{42, 120, 0, 60, 80, 40, -500, 0, -1}));
}

// A character without outline records gets no outline data written, nor its trace line.
TEST_F(Engine, ACharacterWithoutOutlineWritesNoOutlineData) {
  const fs::path dir = fs::temp_directory_path() / ("vuzodo-trace-" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "TTFLog.txt").close();
  ProcessAttach(dir / "libvuzodo.so");
  TTFState& line = AddLine(true);
  line.outline_stream.clear();
  line.outline_ends.clear();
  EXPECT_EQ(Fetch(GetOutLines, 0, 0), std::vector{-1});
  ProcessAttach(dir / "none" / "libvuzodo.so");  // closes the log
  std::ifstream in(dir / "TTFLog.txt");
  const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(log.find("AppendOutlineData"), std::string::npos) << log;
  EXPECT_NE(log.find("GetOutLines(0,0,...)"), std::string::npos) << log;
  fs::remove_all(dir);
}

// A stored character: relative to the stream origin, closed by a move to its end corner.
TEST_F(Engine, AddCharacterWritesRelativeRecords) {
  std::vector<CQELEntity*> entities = {new CQELLine(NURBSPoint(110, 20), NURBSPoint(210, 20))};
  ClearTTFHatchPatterns();
  Line().AddCharacter(100, 0, 600, 0, entities);
  EXPECT_TRUE(entities.empty());
  EXPECT_EQ(Line().outline_stream.Flat(),
            (std::vector<double>{40, 10, 20, 41, 100, 0, 40, 390, -20}));
  EXPECT_EQ(Line().fill_stream.Flat(), (std::vector<double>{40, 500, 0}));
  EXPECT_EQ(Line().advances, (std::vector<double>{500, 0}));
}

// Curves that cannot be sampled are refused before the caller's arrays are scaled.
TEST_F(Engine, PathCurvesThatCannotBeSampledAreRefused) {
  float pts[4] = {0, 0, 1, 0};
  ASSERT_EQ(SetNurbPathPolyline(pts, 4, 0.0f), 1);
  const NurbPath* before = Line().path.get();
  struct Curve {
    const char* what;
    int degree;
    std::vector<float> x, y, w, knots;
  };
  const float nan = std::nanf("");
  const int huge = std::numeric_limits<int>::max(), many = NurbPath::kMaxControlPoints + 1;
  const Curve curves[] = {
      {"knot count does not fit", 1, {0, 1}, {0, 0}, {1, 1}, {0, 0, 1, 1, 1}},
      {"zero weight at a clamped end", 1, {0, 1}, {0, 0}, {1, 0}, {0, 0, 1, 1}},
      // The weight sum 1 - 3u vanishes at u = 1/3, between samples.
      {"weights of both signs", 1, {0, -2}, {0, 0}, {1, -2}, {0, 0, 1, 1}},
      {"coordinate not a number", 1, {0, nan}, {0, 0}, {1, 1}, {0, 0, 1, 1}},
      {"decreasing knots", 1, {0, 1, 2}, {0, 0, 0}, {1, 1, 1}, {0, 0, 1, 0.5f, 1}},
      {"empty domain", 1, {0, 1}, {0, 0}, {1, 1}, {0, 0, 0, 0}},
      {"empty first span", 1, {0, 1, 2}, {0, 0, 0}, {1, 1, 1}, {0, 0, 0, 1, 1}},
      // count + degree + 1 would wrap (found by the interface fuzzer).
      {"degree overflows", huge, {0, 1}, {0, 0}, {1, 1}, {0, 0, 1, 1}},
      {"more than a million samples", 1, std::vector<float>(many, 1.0f),
       std::vector<float>(many, 1.0f), std::vector<float>(many, 1.0f),
       std::vector<float>(many + 2, 0.0f)},
  };
  for (const Curve& c : curves) {
    SCOPED_TRACE(c.what);
    Curve copy = c;  // refused before the arrays are scaled
    EXPECT_EQ(SetNurbPathPoints(copy.degree, static_cast<int>(copy.x.size()), copy.x.data(),
                                copy.y.data(), copy.w.data(), static_cast<int>(copy.knots.size()),
                                copy.knots.data(), 0.0f),
              0);
    EXPECT_EQ(std::memcmp(copy.x.data(), c.x.data(), c.x.size() * sizeof(float)), 0);
    EXPECT_EQ(Line().path.get(), before);
  }
}

}  // namespace
