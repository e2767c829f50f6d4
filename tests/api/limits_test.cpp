// The hard limits of VUZODO/Limits.h at their boundaries: exactly the limit is accepted, one
// past it is refused with the call's own refusal, and a refusal leaves the state as it was.
// Font files: only regular files of at most the file limit are read, so a FIFO, /dev/zero or a
// directory handed over as a font can neither block nor run for ever.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "FntReader.h"
#include "FontFile.h"
#include "Limits.h"
#include "OVFFontHandler.h"
#include "OutlineCreator.h"
#include "SHXFontHandler.h"
#include "TTFLoader.h"
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

int Characters() {
  return GetCharacterCount(-1);
}

// The whole text's border array, as a host sees it.
std::vector<int> Drawing() {
  int* data = nullptr;
  float box[8] = {};
  const int n = GetOutLinesEx(-1, EN_RT_BORDER, &data, box);
  std::vector<int> out(data, data + n);
  DeleteTTFData(data);
  return out;
}

class Limits : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeTTF(1000.0f);
    SetDefaults();
  }
  void TearDown() override { FinishText(); }
};

// ---- UTF-16 units per append call ----

TEST_F(Limits, AnAppendOfExactlyTheUnitLimitIsTakenAndOneMoreIsRefused) {
  std::u16string over = Repeat(u' ', limits::kMaxAppendUnits + 1);
  EXPECT_EQ(AppendCharactersEx(U(over)), 0);
  EXPECT_EQ(AppendCharacters(U(over)), 0);
  EXPECT_EQ(AppendCharactersOVF(U(over)), 0);
  EXPECT_EQ(Characters(), 0);
  EXPECT_EQ(GetTextLineCount(), 1);

  std::u16string exact = Repeat(u' ', limits::kMaxAppendUnits);
  EXPECT_EQ(AppendCharactersOVF(U(exact)), 1);
  EXPECT_EQ(AppendCharactersEx(U(exact)), 1);
  EXPECT_EQ(Characters(), static_cast<int>(limits::kMaxAppendUnits));
}

TEST_F(Limits, LineFeedsCountAsUnitsOfTheCall) {
  // Units, not characters: a call of line feeds only is refused past the unit limit as well.
  std::u16string feeds = Repeat(u'\n', limits::kMaxAppendUnits + 1);
  EXPECT_EQ(AppendCharactersEx(U(feeds)), 0);
  EXPECT_EQ(GetTextLineCount(), 1);
}

// ---- characters per line ----

TEST_F(Limits, ALineTakesExactlyTheLineLimitAcrossAppends) {
  std::u16string most = Repeat(u' ', limits::kMaxLineCharacters - 2);
  ASSERT_EQ(AppendCharacters(U(most)), 1);
  std::u16string two = u"AB";
  ASSERT_EQ(AppendCharacters(U(two)), 1);  // exactly the limit
  ASSERT_EQ(GetCharacterCount(0), static_cast<int>(limits::kMaxLineCharacters));
  const std::vector<int> before = Drawing();

  std::u16string one = u"C";
  EXPECT_EQ(AppendCharacters(U(one)), 0);
  EXPECT_EQ(AppendCharactersEx(U(one)), 0);
  EXPECT_EQ(GetCharacterCount(0), static_cast<int>(limits::kMaxLineCharacters));
  EXPECT_EQ(Drawing(), before);  // nothing of the refused call was laid out

  // A line feed first puts the character on a new line: taken.
  std::u16string next = u"\nC";
  EXPECT_EQ(AppendCharactersEx(U(next)), 1);
  EXPECT_EQ(GetTextLineCount(), 2);
  EXPECT_EQ(GetCharacterCount(1), 1);
}

TEST_F(Limits, TheSingleLineLayoutCountsLineFeedsAsCharacters) {
  // AppendCharacters breaks no lines: its line feeds are characters of the line.
  std::u16string most = Repeat(u' ', limits::kMaxLineCharacters - 1);
  ASSERT_EQ(AppendCharacters(U(most)), 1);
  std::u16string feed = u"\n";
  ASSERT_EQ(AppendCharacters(U(feed)), 1);
  EXPECT_EQ(AppendCharacters(U(feed)), 0);
  EXPECT_EQ(GetCharacterCount(0), static_cast<int>(limits::kMaxLineCharacters));
}

// ---- characters per text ----

TEST_F(Limits, ATextTakesExactlyTheTextLimit) {
  std::u16string first = Repeat(u' ', limits::kMaxLineCharacters);
  ASSERT_EQ(AppendCharactersEx(U(first)), 1);
  // A line feed and one character short of a second full line: the unit limit of the call.
  // Built by appending: GCC 12 at -O3 reads "literal + string" as an overlapping copy (-Wrestrict).
  std::u16string second = u"\n";
  second += Repeat(u' ', limits::kMaxAppendUnits - 1);
  ASSERT_EQ(AppendCharactersEx(U(second)), 1);
  std::u16string last = u"A";
  ASSERT_EQ(AppendCharactersEx(U(last)), 1);
  ASSERT_EQ(Characters(), static_cast<int>(limits::kMaxTextCharacters));

  // One more character on a new line passes no line limit, only the text limit.
  std::u16string more = u"\nA";
  EXPECT_EQ(AppendCharactersEx(U(more)), 0);
  EXPECT_EQ(GetTextLineCount(), 2);
  EXPECT_EQ(Characters(), static_cast<int>(limits::kMaxTextCharacters));

  // FinishText starts a new text: the limit counts again from 0.
  FinishText();
  EXPECT_EQ(AppendCharactersEx(U(more)), 1);
  EXPECT_EQ(Characters(), 1);
}

// ---- lines per text ----

TEST_F(Limits, ATextTakesExactlyTheLineLimit) {
  std::u16string feeds = Repeat(u'\n', limits::kMaxTextLines - 1);
  ASSERT_EQ(AppendCharactersEx(U(feeds)), 1);
  ASSERT_EQ(GetTextLineCount(), static_cast<int>(limits::kMaxTextLines));

  std::u16string feed = u"A\nB";
  EXPECT_EQ(AppendCharactersEx(U(feed)), 0);
  EXPECT_EQ(GetTextLineCount(), static_cast<int>(limits::kMaxTextLines));
  EXPECT_EQ(Characters(), 0);

  // Characters without a line feed still go onto the last line.
  std::u16string ab = u"AB";
  EXPECT_EQ(AppendCharactersEx(U(ab)), 1);
  EXPECT_EQ(GetCharacterCount(static_cast<int>(limits::kMaxTextLines) - 1), 2);

  // Vertical mode set before InitializeTTF: the append's new first line lays out horizontally
  // again, so its line feeds start lines and count against the limit.
  SetModeVertical();
  InitializeTTF(1000.0f);
  std::u16string too_many = Repeat(u'\n', limits::kMaxTextLines);
  EXPECT_EQ(AppendCharactersEx(U(too_many)), 0);
  EXPECT_EQ(GetTextLineCount(), 0);
  EXPECT_EQ(AppendCharactersEx(U(feeds)), 1);
  EXPECT_EQ(GetTextLineCount(), static_cast<int>(limits::kMaxTextLines));
}

TEST_F(Limits, WordWrapBreaksNoLinePastTheLineLimit) {
  SetModeWordWrap(EN_TRUE);
  SetTextBoxWidth(0.001f);  // every word wraps
  std::u16string words = u"A A A A";
  ASSERT_EQ(AppendCharactersEx(U(words)), 1);
  EXPECT_EQ(GetTextLineCount(), 4);

  FinishText();
  std::u16string feeds = Repeat(u'\n', limits::kMaxTextLines - 2);
  ASSERT_EQ(AppendCharactersEx(U(feeds)), 1);
  ASSERT_EQ(GetTextLineCount(), static_cast<int>(limits::kMaxTextLines) - 1);
  // One wrap reaches the limit; the rest stays on the last line.
  ASSERT_EQ(AppendCharactersEx(U(words)), 1);
  EXPECT_EQ(GetTextLineCount(), static_cast<int>(limits::kMaxTextLines));
  EXPECT_EQ(GetCharacterCount(static_cast<int>(limits::kMaxTextLines) - 1), 5);  // "A A A"
}

// A line keeps only its own part of the text once the next line has taken over the rest. Every
// line used to keep the whole rest: 2,000 line feeds before 20,000 characters held 40 million
// units (80 MB); a text at the limits would have held a gigabyte.
TEST_F(Limits, LinesDoNotEachKeepTheRestOfTheText) {
  std::u16string text = Repeat(u'\n', 2000) + Repeat(u'A', 20000);
  ASSERT_EQ(AppendCharactersEx(U(text)), 1);
  const auto& lines = TTFLoader::Instance().Lines();
  ASSERT_EQ(lines.size(), 2001u);
  std::size_t held = 0;
  for (const auto& line : lines) held += line->text_copy.capacity();
  EXPECT_LE(held, 2 * text.size());
  EXPECT_EQ(lines.back()->text_copy, Repeat(u'A', 20000));
}

// ---- output arrays ----

TEST_F(Limits, AWholeTextArrayPastTheOutputLimitIsTheEndMarkAlone) {
  std::u16string text = u"AB\nC";
  ASSERT_EQ(AppendCharactersEx(U(text)), 1);
  const auto& lines = TTFLoader::Instance().Lines();
  // The room BuildTextArray asks for: 3, then per line 6 and each stream plus 3; and the -1.
  std::size_t capacity = 3;
  for (const auto& line : lines) capacity += 6 + line->outline_stream.size() + 3;
  const std::size_t needed = capacity + 1;

  int full = 0;
  int* reference = BuildTextArray(Process(), lines, 0, false, nullptr, full);
  int at = 0;
  int* exact = BuildTextArray(Process(), lines, 0, false, nullptr, at, needed);
  EXPECT_EQ(at, full);
  EXPECT_TRUE(std::equal(exact, exact + at, reference));
  int past = 0;
  int* refused = BuildTextArray(Process(), lines, 0, false, nullptr, past, needed - 1);
  ASSERT_EQ(past, 1);
  EXPECT_EQ(refused[0], -1);
  ReleaseHostArray(reference);
  ReleaseHostArray(exact);
  ReleaseHostArray(refused);
  EXPECT_EQ(Drawing().size(), static_cast<std::size_t>(full));  // the text is unchanged
}

TEST_F(Limits, ListAndLineArraysPastTheOutputLimitAreTheEndMarkAlone) {
  std::u16string text = u"AB";
  ASSERT_EQ(AppendCharactersEx(U(text)), 1);
  const TTFState& line = *TTFLoader::Instance().Lines().back();

  const std::vector<double>& list = line.outline_stream;
  int n = 0;
  int* a = ToIntArray(list, n, list.size() + 1);
  EXPECT_GT(n, 1);
  ReleaseHostArray(a);
  a = ToIntArray(list, n, list.size());
  EXPECT_EQ(n, 1);
  EXPECT_EQ(a[0], -1);
  ReleaseHostArray(a);

  // The whole line: its outline stream, the closing move and the -1.
  const std::size_t whole = line.outline_stream.size() + 3 + 1;
  a = LineArray(line, -1, 0, nullptr, n, nullptr, whole);
  EXPECT_EQ(n, static_cast<int>(whole));
  ReleaseHostArray(a);
  a = LineArray(line, -1, 0, nullptr, n, nullptr, whole - 1);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(a[0], -1);
  ReleaseHostArray(a);

  // One character: its slice of the outline and the -1.
  const std::size_t one = static_cast<std::size_t>(line.outline_ends[0]) + 1;
  a = LineArray(line, 0, 0, nullptr, n, nullptr, one);
  EXPECT_EQ(n, static_cast<int>(one));
  ReleaseHostArray(a);
  a = LineArray(line, 0, 0, nullptr, n, nullptr, one - 1);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(a[0], -1);
  ReleaseHostArray(a);
}

// ---- font files ----

// A folder of its own for the test's files, removed afterwards.
class FontFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("vuzodo_limits_" + std::to_string(::getpid()) + "_" + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Fifo(const std::string& name) const {
    const std::string path = Path(name);
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
    return path;
  }
  // `bytes`, then zeros up to `size` (a sparse file: no disk space is used).
  std::string File(const std::string& name, const std::string& bytes, std::uintmax_t size) const {
    const std::string path = Path(name);
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()));
    fs::resize_file(path, size);
    return path;
  }
  fs::path dir_;
};

// Runs `work` on a thread of its own. A call that has not returned after `seconds` fails the
// test; `unblock` (when given) is then tried so that the thread can end, else the process ends
// at once, since a thread reading for ever cannot be stopped.
void FinishesInTime(const std::function<void()>& work, const std::function<void()>& unblock,
                    int seconds = 10) {
  std::packaged_task<void()> task(work);
  std::future<void> done = task.get_future();
  std::thread thread(std::move(task));
  if (done.wait_for(std::chrono::seconds(seconds)) == std::future_status::ready) {
    thread.join();
    return;
  }
  ADD_FAILURE() << "the call did not return within " << seconds << " s";
  if (unblock) {
    unblock();
    if (done.wait_for(std::chrono::seconds(seconds)) == std::future_status::ready) {
      thread.join();
      return;
    }
  }
  std::fprintf(stderr, "the call still has not returned: ending the test process\n");
  std::fflush(stderr);
  std::_Exit(1);
}

// Opening the FIFO for writing lets a reader blocked in its open go on (and read end of file).
std::function<void()> Writer(const std::string& fifo) {
  return [fifo] {
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
  };
}

const std::string kFnt = "def 65\nd 1,0\nd 0,1\n";

std::string Unifont() {
  // A unicode font: height 10, shape 65 drawing one vector (length 1, direction 0).
  std::string out = std::string("AutoCAD-86 unifont 1.0\r\n\x1a", 25);
  auto u16 = [&](unsigned v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
  };
  u16(2);
  u16(0);
  const std::string info = std::string("T\0\x0a\0\0\0\0\0", 8);
  u16(static_cast<unsigned>(info.size()));
  out += info;
  u16(65);
  u16(4);  // the name "S", its 0, one vector, the final 0
  out += std::string("S\0\x10\0", 4);
  return out;
}

TEST_F(FontFiles, OnlyRegularFilesOfAtMostTheLimitAreFontFiles) {
  std::uintmax_t size = 1;
  const std::string exact = File("exact.shx", "", limits::kMaxFontFileBytes);
  EXPECT_TRUE(FontFileSize(exact, size));
  EXPECT_EQ(size, limits::kMaxFontFileBytes);
  const std::string over = File("over.shx", "", limits::kMaxFontFileBytes + 1);
  EXPECT_FALSE(FontFileSize(over, size));
  EXPECT_EQ(size, 0u);
  EXPECT_FALSE(IsReadableFontFile(Fifo("fifo.shx")));
  EXPECT_FALSE(IsReadableFontFile(dir_.string()));
  EXPECT_FALSE(IsReadableFontFile("/dev/zero"));
  EXPECT_FALSE(IsReadableFontFile(Path("missing.shx")));
  EXPECT_FALSE(IsReadableFontFile(""));
  // A symbolic link is followed: to a regular file it is one.
  fs::create_symlink(exact, dir_ / "link.shx");
  EXPECT_TRUE(IsReadableFontFile(Path("link.shx")));
  fs::create_symlink("/dev/zero", dir_ / "zero.fnt");
  EXPECT_FALSE(IsReadableFontFile(Path("zero.fnt")));
}

// The FNT reader used to open any path and read it to its end: a FIFO blocked it in the open
// (waiting for a writer) and /dev/zero was read for ever.
TEST_F(FontFiles, FntReaderTakesNoFifoDeviceOrDirectory) {
  const std::string fifo = Fifo("fifo.fnt");
  std::vector<ReaderGlyph> glyphs;
  FinishesInTime([&] { glyphs = ReadFntFile(fifo, kFntArcsAsEntities); }, Writer(fifo));
  EXPECT_TRUE(glyphs.empty());
  FinishesInTime([&] { glyphs = ReadFntFile(std::string("/dev/zero"), kFntArcsAsEntities); },
                 nullptr);
  EXPECT_TRUE(glyphs.empty());
  FinishesInTime([&] { glyphs = ReadFntFile(dir_.string(), kFntArcsAsEntities); }, nullptr);
  EXPECT_TRUE(glyphs.empty());
  // A regular file still is read.
  glyphs = ReadFntFile(File("font.fnt", kFnt, kFnt.size()), kFntArcsAsEntities);
  EXPECT_EQ(glyphs.size(), 1u);
}

// Past the size limit nothing is read, even when the file starts as a font (the old reader read
// all 256 MiB of zeros behind this one and kept its character).
TEST_F(FontFiles, FntFileOfMoreThanTheLimitIsNotRead) {
  const std::string over = File("over.fnt", kFnt, limits::kMaxFontFileBytes + 1);
  std::vector<ReaderGlyph> glyphs;
  FinishesInTime([&] { glyphs = ReadFntFile(over, kFntArcsAsEntities); }, nullptr, 60);
  EXPECT_TRUE(glyphs.empty());
}

// The OVF reader opened the path before looking at it: a FIFO blocked it in the open.
TEST_F(FontFiles, OvfReaderTakesNoFifoDeviceOrDirectory) {
  const std::string fifo = Fifo("fifo.ovf");
  OVFFontHandler handler;
  FinishesInTime([&] { handler.LoadFile(fifo); }, Writer(fifo));
  EXPECT_EQ(handler.GetFileSize(), 0u);
  FinishesInTime([&] { handler.LoadFile("/dev/zero"); }, nullptr);
  EXPECT_EQ(handler.GetFileSize(), 0u);
  FinishesInTime([&] { handler.LoadFile(dir_.string()); }, nullptr);
  EXPECT_EQ(handler.GetFileSize(), 0u);
  handler.LoadFile(File("over.ovf", "OVF", limits::kMaxFontFileBytes + 1));
  EXPECT_EQ(handler.GetFileSize(), 0u);
  handler.LoadFile(File("small.ovf", "OVF", 64));
  EXPECT_EQ(handler.GetFileSize(), 64u);
}

// The SHX reader took regular files of any size: one past the limit was read whole.
TEST_F(FontFiles, ShxFileOfMoreThanTheLimitIsNotRead) {
  const std::string font = Unifont();
  SHXFontHandler handler;
  handler.OpenNarrow(File("small.shx", font, font.size()));
  ASSERT_EQ(handler.GetShapes().size(), 1u);
  handler.OpenNarrow(File("over.shx", font, limits::kMaxFontFileBytes + 1));
  EXPECT_TRUE(handler.GetShapes().empty());
  const std::string fifo = Fifo("fifo.shx");
  FinishesInTime([&] { handler.OpenNarrow(fifo); }, Writer(fifo));
  EXPECT_TRUE(handler.GetShapes().empty());
}

// A .ttf path went straight to FreeType, whose open of a FIFO waited for a writer for ever.
// Now it is substituted like any file FreeType rejects: the default face answers.
TEST_F(FontFiles, TrueTypePathThatIsAFifoGetsTheDefaultFace) {
  InitializeTTF(1000.0f);
  const std::string fifo = Fifo("fifo.ttf");
  std::u16string face(fifo.begin(), fifo.end());
  FontInformation info{};
  FinishesInTime([&] { GetFontInformation(U(face), EN_STYLE_REGULAR, &info); }, Writer(fifo), 20);
  EXPECT_GT(info.emSquare, 0);
  const std::string dir = dir_.string() + "/folder.ttf";
  fs::create_directories(dir);
  std::u16string folder(dir.begin(), dir.end());
  FontInformation from_folder{};
  FinishesInTime([&] { GetFontInformation(U(folder), EN_STYLE_REGULAR, &from_folder); }, nullptr,
                 20);
  EXPECT_EQ(from_folder.emSquare, info.emSquare);
  InitializeTTF(1000.0f);
}

}  // namespace
