// The engine linked in-process: the hard limits at their boundaries, font files that are no
// regular files, and the retrieval, placement and path frames on lines and streams written by
// hand, so that every expected value is worked on paper.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <limits>
#include <thread>
#include <variant>

#include "FntReader.h"
#include "FontFile.h"
#include "HatchPattern.h"
#include "Limits.h"
#include "NurbPath.h"
#include "OVFFontHandler.h"
#include "OutlineCreator.h"
#include "PointAllocator.h"
#include "QELEntity.h"
#include "SHXFontHandler.h"
#include "TTFLoader.h"
#include "VUZODO.h"
#include "vuzodo/vuzodo.h"

using namespace vuzodo;
namespace fs = std::filesystem;

namespace {

unsigned short* U(std::u16string& text) {
  return reinterpret_cast<unsigned short*>(text.data());
}
std::u16string Repeat(char16_t c, std::size_t n) {
  return std::u16string(n, c);
}
int Lines() {
  return GetTextLineCount();
}
int Chars(int line = -1) {
  return GetCharacterCount(line);
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
  void TearDown() override { InitializeTTF(1000.0f); }
};

// ---- hard limits: exactly the limit is taken, one more is refused and changes nothing ----

constexpr std::size_t kUnits = limits::kMaxAppendUnits, kLine = limits::kMaxLineCharacters;
constexpr int kTextLines = static_cast<int>(limits::kMaxTextLines);

TEST_F(Engine, LimitsOfAppendsLinesAndTexts) {
  std::u16string over = Repeat(u' ', kUnits + 1), feeds = Repeat(u'\n', kUnits + 1);
  EXPECT_EQ(AppendCharactersEx(U(over)), 0);
  EXPECT_EQ(AppendCharacters(U(over)), 0);
  EXPECT_EQ(AppendCharactersOVF(U(over)), 0);
  EXPECT_EQ(AppendCharactersEx(U(feeds)), 0);  // units, not characters
  EXPECT_EQ(Chars() + Lines(), 1);
  std::u16string exact = Repeat(u' ', kUnits);
  EXPECT_EQ(AppendCharactersOVF(U(exact)), 1);
  EXPECT_EQ(AppendCharactersEx(U(exact)), 1);
  EXPECT_EQ(Chars(), static_cast<int>(kLine));  // a full line, across appends
  std::u16string c = u"C", next = u"\nC";
  EXPECT_EQ(AppendCharacters(U(c)), 0);
  EXPECT_EQ(AppendCharactersEx(U(c)), 0);
  EXPECT_EQ(AppendCharactersEx(U(next)), 1);  // a line feed first: a new line takes it
  EXPECT_EQ(Lines() * 1000000 + Chars(1), 2000001);
  // The single-line layout counts its line feeds as characters.
  FinishText();
  std::u16string most = Repeat(u' ', kLine - 1), feed = u"\n";
  EXPECT_EQ(AppendCharacters(U(most)) + AppendCharacters(U(feed)), 2);
  EXPECT_EQ(AppendCharacters(U(feed)), 0);
  // The text limit: a second full line but one, then one more character.
  FinishText();
  std::u16string second = u"\n", a = u"A", more = u"\nA";
  second += Repeat(u' ', kUnits - 1);  // "literal + string" trips GCC 12's -Wrestrict at -O3
  EXPECT_EQ(AppendCharactersEx(U(exact)) + AppendCharactersEx(U(second)) + AppendCharactersEx(U(a)),
            3);
  ASSERT_EQ(Chars(), static_cast<int>(limits::kMaxTextCharacters));
  EXPECT_EQ(AppendCharactersEx(U(more)), 0);
  EXPECT_EQ(Lines(), 2);
  FinishText();  // a new text counts from 0
  EXPECT_EQ(AppendCharactersEx(U(more)), 1);
}

TEST_F(Engine, LimitOfLinesAlsoForWordWrap) {
  std::u16string feeds = Repeat(u'\n', limits::kMaxTextLines - 1), ab = u"A\nB", abc = u"AB";
  ASSERT_EQ(AppendCharactersEx(U(feeds)), 1);
  EXPECT_EQ(AppendCharactersEx(U(ab)), 0);
  EXPECT_EQ(Lines() * 10 + Chars(), kTextLines * 10);
  EXPECT_EQ(AppendCharactersEx(U(abc)), 1);  // no line feed: onto the last line
  EXPECT_EQ(Chars(kTextLines - 1), 2);
  // Vertical mode set before InitializeTTF: the new first line is horizontal again.
  SetModeVertical();
  InitializeTTF(1000.0f);
  std::u16string too_many = Repeat(u'\n', limits::kMaxTextLines);
  EXPECT_EQ(AppendCharactersEx(U(too_many)), 0);
  EXPECT_EQ(Lines(), 0);
  SetDefaults();
  SetModeWordWrap(EN_TRUE);
  SetTextBoxWidth(0.001f);  // every word wraps
  std::u16string words = u"A A A A", fewer = Repeat(u'\n', limits::kMaxTextLines - 2);
  ASSERT_EQ(AppendCharactersEx(U(words)), 1);
  EXPECT_EQ(Lines(), 4);
  FinishText();
  ASSERT_EQ(AppendCharactersEx(U(fewer)) + AppendCharactersEx(U(words)), 2);
  EXPECT_EQ(Lines(), kTextLines);  // one wrap reaches the limit, the rest stays on the line
  EXPECT_EQ(Chars(kTextLines - 1), 5);
}

// Each line keeps only its own part of the text: every line used to keep the whole rest.
TEST_F(Engine, LimitOfTextHeldByLines) {
  std::u16string text = Repeat(u'\n', 2000) + Repeat(u'A', 20000);
  ASSERT_EQ(AppendCharactersEx(U(text)), 1);
  std::size_t held = 0;
  for (const auto& line : TTFLoader::Instance().Lines()) held += line->text_copy.capacity();
  EXPECT_LE(held, 2 * text.size());
}

// ---- font files: only regular files of at most the file limit are read, so that a FIFO,
// /dev/zero or a folder handed over as a font can neither block nor run for ever ----

// Runs `work` on a thread of its own; a call still running after 20 s fails the test, and
// `unblock` (opening the FIFO for writing) lets it end, else the process ends at once.
void FinishesInTime(const std::function<void()>& work, const std::string& fifo = "") {
  // The geometry library keeps freed point blocks per thread and gives them back only at
  // unload; a worker thread that ends first would leave its blocks behind.
  std::packaged_task<void()> task([&work] {
    work();
    qel::ReleasePooledPointBlocks();
  });
  std::future<void> done = task.get_future();
  std::thread thread(std::move(task));
  for (int attempt = 0; done.wait_for(std::chrono::seconds(20)) != std::future_status::ready;
       ++attempt) {
    ADD_FAILURE() << "the call did not return within 20 s";
    const int fd = fifo.empty() || attempt > 0 ? -1 : ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
    if (fd < 0) std::_Exit(1);  // a thread reading for ever cannot be stopped
  }
  thread.join();
}

class FontFiles : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir_); }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Fifo(const std::string& name) const {
    const std::string path = (dir_ / name).string();
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
    return path;
  }
  // `bytes`, then zeros up to `size` (a sparse file).
  std::string File(const std::string& name, const std::string& bytes, std::uintmax_t size) const {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    fs::resize_file(path, size);
    return path;
  }
  const fs::path dir_ = fs::temp_directory_path() / ("vuzodo-fonts-" + std::to_string(getpid()));
  const std::string folder_ = dir_.string();
};

constexpr std::uintmax_t kFileLimit = limits::kMaxFontFileBytes;

TEST_F(FontFiles, BadFontFilesAreRefusedWithoutBlocking) {
  std::uintmax_t size = 1;
  const std::string exact = File("exact.shx", "", kFileLimit);
  EXPECT_TRUE(FontFileSize(exact, size) && size == kFileLimit);
  EXPECT_FALSE(FontFileSize(File("over.shx", "", kFileLimit + 1), size) || size != 0);
  for (const std::string& bad : {Fifo("fifo.shx"), folder_, std::string("/dev/zero"),
                                 folder_ + "/missing.shx", std::string()}) {
    EXPECT_FALSE(IsReadableFontFile(bad)) << bad;
  }
  fs::create_symlink(exact, dir_ / "link.shx");  // links are followed
  fs::create_symlink("/dev/zero", dir_ / "zero.fnt");
  EXPECT_TRUE(IsReadableFontFile(folder_ + "/link.shx"));
  EXPECT_FALSE(IsReadableFontFile(folder_ + "/zero.fnt"));

  // FNT: any path used to be read to its end; a FIFO blocked the open.
  const std::string fnt = "def 65\nd 1,0\nd 0,1\n";
  for (const std::string& bad : {Fifo("fifo.fnt"), std::string("/dev/zero"), folder_,
                                 File("over.fnt", fnt, kFileLimit + 1)}) {
    std::vector<ReaderGlyph> glyphs(1);
    FinishesInTime([&] { glyphs = ReadFntFile(bad, kFntArcsAsEntities); }, bad);
    EXPECT_TRUE(glyphs.empty()) << bad;
  }
  EXPECT_EQ(ReadFntFile(File("font.fnt", fnt, fnt.size()), kFntArcsAsEntities).size(), 1u);

  // OVF: opened the path before looking at it.
  OVFFontHandler ovf;
  for (const std::string& bad : {Fifo("fifo.ovf"), std::string("/dev/zero"), folder_,
                                 File("over.ovf", "OVF", kFileLimit + 1)}) {
    FinishesInTime([&] { ovf.LoadFile(bad); }, bad);
    EXPECT_EQ(ovf.GetFileSize(), 0u) << bad;
  }
  ovf.LoadFile(File("small.ovf", "OVF", 64));
  EXPECT_EQ(ovf.GetFileSize(), 64u);

  // SHX: a unicode font of one shape (65: one vector), then one past the limit, then a FIFO.
  const std::string shx = std::string(
      "AutoCAD-86 unifont 1.0\r\n\x1a\2\0\0\0\x08\0T\0\x0a\0\0\0\0\0"
      "\x41\0\4\0S\0\x10\0",
      47);
  SHXFontHandler handler;
  handler.OpenNarrow(File("small.shx", shx, shx.size()));
  EXPECT_EQ(handler.GetShapes().size(), 1u);
  for (const std::string& bad : {File("over.shx", shx, kFileLimit + 1), Fifo("fifo.shx2")}) {
    FinishesInTime([&] { handler.OpenNarrow(bad); }, bad);
    EXPECT_TRUE(handler.GetShapes().empty()) << bad;
  }

  // TrueType: FreeType's open of a FIFO waited for ever; now the default face answers.
  InitializeTTF(1000.0f);
  FontInformation info{}, from_folder{};
  std::u16string fifo_face = u"fifo.ttf", folder_face = u"folder.ttf";
  const std::string fifo = Fifo("fifo.ttf"), folder = folder_ + "/folder.ttf";
  fs::create_directories(folder);
  fifo_face.assign(fifo.begin(), fifo.end());
  folder_face.assign(folder.begin(), folder.end());
  FinishesInTime([&] { GetFontInformation(U(fifo_face), EN_STYLE_REGULAR, &info); }, fifo);
  FinishesInTime([&] { GetFontInformation(U(folder_face), EN_STYLE_REGULAR, &from_folder); });
  EXPECT_GT(info.emSquare, 0);
  EXPECT_EQ(from_folder.emSquare, info.emSquare);
}

// ---- retrieval on hand-written streams ----

// The records' rounding: half away from zero, residues carried, saturated at the int range.
TEST(IntArray, RoundingCarriesResiduesAndSaturates) {
  using V = std::vector<int>;
  // A move of (0.4, 0.4) rounds to nothing: dropped, its fraction carried into the next one.
  EXPECT_EQ(Ints({40, 0.4, 0.4, 40, 0.4, 0.4, 41, 1.0, 0}), (V{40, 1, 1, 41, 1, 0, -1}));
  EXPECT_EQ(Ints({40, 1, 2, 40, 3, 4}), (V{40, 4, 6, -1}));
  EXPECT_EQ(Ints({41, 0.2, 0, 466, 0, 0}), (V{466, 0, 0, -1}));  // a dot is never dropped
  EXPECT_EQ(Ints({40, 2e9, -2e9, 40, 2e9, -2e9, 41, 1, 0}),
            (V{40, 2147483647, -2147483647 - 1, 41, 1, 0, -1}));  // merged moves saturate
  // Arcs round their end with residues and their centre without; a cut-off arc ends the list.
  EXPECT_EQ(Ints({42, 10.4, 0.4, 5.6, -0.6, 41, 0.2, 0.2}), (V{42, 10, 0, 6, -1, 41, 1, 1, -1}));
  EXPECT_EQ(Ints({41, 1, 1, 42, 1, 2}), (V{41, 1, 1, -1}));
  EXPECT_EQ(Ints({}), (V{-1}));
  EXPECT_EQ(RoundHalfAway(2.5) * 10 + RoundHalfAway(-2.5), 27);
  EXPECT_EQ(RoundHalfAway(-2.4999), -2);
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
  line.outline_stream = {41, 100, 0, 40, 400, 0};
  line.outline_ends = {6};
  line.fill_stream = {41, 0, 50, 40, 500, -50};
  line.fill_ends = {6};
  line.hatch_stream = {40, 500, 0};
  line.hatch_ends = {3};
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
  EXPECT_EQ(Lines() * 10 + static_cast<int>(box[0]), 7);
}

TEST_F(Engine, TotalBoundingBoxIncludesTheBulgeOfArcs) {
  TTFState& line = AddLine(true);
  // An arc of radius 100 about (60, 80) from (0, 0) to (120, 0) dips to y = -20.
  line.outline_stream = {42, 120, 0, 60, 80, 40, -120, 0};
  line.hatch_stream.clear();
  line.fill_stream.clear();
  float box[4];
  GetTotalBoundingBox(box);
  EXPECT_EQ(std::vector<float>(box, box + 4), (std::vector<float>{0, -20, 120, 0}));
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
  EXPECT_EQ(Line().outline_stream, (std::vector<double>{40, 10, 20, 41, 100, 0, 40, 390, -20}));
  EXPECT_EQ(Line().fill_stream, (std::vector<double>{40, 500, 0}));
  EXPECT_EQ(Line().advances, (std::vector<double>{500, 0}));
}

// ---- the text path: circle and line geometry worked by hand ----

const NurbPath* Path() {
  return Line().path.get();
}

// Curves that cannot be sampled are refused before the caller's arrays are scaled.
TEST_F(Engine, PathCurvesThatCannotBeSampledAreRefused) {
  float pts[4] = {0, 0, 1, 0};
  ASSERT_EQ(SetNurbPathPolyline(pts, 4, 0.0f), 1);
  const NurbPath* before = Path();
  struct Curve {
    const char* what;
    int degree;
    std::vector<float> x, y, w, knots;
  };
  const float nan = std::nanf(""), inf = std::numeric_limits<float>::infinity();
  const int huge = std::numeric_limits<int>::max(), many = NurbPath::kMaxControlPoints + 1;
  const Curve curves[] = {
      {"knot count does not fit", 1, {0, 1}, {0, 0}, {1, 1}, {0, 0, 1, 1, 1}},
      {"too few points", 3, {0, 1}, {0, 0}, {1, 1}, {0, 0, 0, 1, 1, 1}},
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
    Curve copy = c;
    EXPECT_EQ(SetNurbPathPoints(copy.degree, static_cast<int>(copy.x.size()), copy.x.data(),
                                copy.y.data(), copy.w.data(), static_cast<int>(copy.knots.size()),
                                copy.knots.data(), 0.0f),
              0);
    EXPECT_EQ(std::memcmp(copy.x.data(), c.x.data(), c.x.size() * sizeof(float)), 0);  // unscaled
    EXPECT_EQ(Path(), before);
  }
  float far[4] = {0, 0, inf, 0};
  EXPECT_EQ(SetNurbPathPolyline(far, 4, 0.0f) + SetNurbPathPolyline(pts, 2, 0.0f), 0);
  EXPECT_EQ(Path(), before);
}

}  // namespace
