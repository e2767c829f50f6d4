// The shared library as a host sees it: the record layout, the symbol table against the header,
// attach and detach, and a host's trace log replayed by `vuzodo replay`.
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "LoadedLibrary.h"
#include "vuzodo/vuzodo.h"

// The words of a command's output or of a file ("cat FILE"), without '#' comment lines.
static std::set<std::string> Words(const std::string& command) {
  std::set<std::string> names;
  FILE* pipe = popen((command + " | grep -v '^#'").c_str(), "r");
  char buffer[512];
  while (pipe != nullptr && std::fscanf(pipe, "%511s", buffer) == 1) names.insert(buffer);
  if (pipe != nullptr) pclose(pipe);
  return names;
}

// What header_c.c asserts as C (the record sizes the header asserts itself).
static_assert(offsetof(CursorPosition, lineStart) == 20);
static_assert(offsetof(FontInformation, designHeight) == 28 && sizeof(vuzodo_bool) == 1);

TEST(SymbolTable, ExportsExactlyTheInterface) {
  const std::set<std::string> header = Words(std::string("cat ") + VUZODO_EXPORTS_FROM_HEADER);
  ASSERT_EQ(header.size(), 77u);
  EXPECT_EQ(
      Words(std::string("nm -D --defined-only ") + VUZODO_LIBRARY_FILE + " | awk '{print $NF}'"),
      header);
}

// Without log files nothing is written (a folder named like the log is no log either); a detach
// releases all state. The path start is stored times the unit size, which shows that size.
TEST(Attach, WithoutLogFilesNothingIsWrittenAndReattachStartsFresh) {
  LoadedLibrary lib;
  const auto path_start = [&lib] {
    float points[4] = {0, 0, 10, 0};
    VZ(lib, SetNurbPathPolyline)(points, 4, 1.0f);
    return VZ(lib, GetPathLengthOfCharacters)();
  };
  EXPECT_EQ(VZ(lib, GetTextLineCount)(), 0);
  VZ(lib, InitializeTTF)(250.0f);
  EXPECT_FLOAT_EQ(path_start(), 250.0f);
  EXPECT_EQ(VZ(lib, SetTextHeight)(-1.0f) * 10 + VZ(lib, GetTextLineCount)(), 1);
  lib.Unload();
  EXPECT_FALSE(std::filesystem::exists(lib.Folder() / "TTFLog.txt"));
  EXPECT_FALSE(std::filesystem::exists(lib.Folder() / "TTFCBNLog.txt"));
  std::filesystem::create_directory(lib.Folder() / "TTFLog.txt");
  lib.Load();
  EXPECT_EQ(VZ(lib, GetTextLineCount)(), 0);
  EXPECT_FLOAT_EQ(path_start(), 1000.0f);
}

TEST(Attach, LogsAreAppendedAcrossLoads) {
  LoadedLibrary lib({"TTFLog.txt", "TTFCBNLog.txt"});
  VZ(lib, SetTextHeight)(2.0f);
  lib.Unload();
  lib.Load();
  int* data = nullptr;
  EXPECT_EQ(VZ(lib, GetOutLinesEx)(-1, EN_RT_FILL, &data, nullptr), 1);
  VZ(lib, DeleteTTFData)(data);
  lib.Unload();
  const std::string log = lib.Read("TTFLog.txt"),
                    head = "SetTextHeight(2.000000);\nGetOutLinesEx(-1,1,...);\n";
  EXPECT_EQ(log.substr(0, head.size()), head);
  EXPECT_EQ(lib.Read("TTFCBNLog.txt"), "--------\ncount = 1\ncmd = -1\n");
}

// One host session: a face, a path, a pattern, arrays fetched and released, the text cleared.
static void Session(LoadedLibrary& lib) {
  std::u16string face = u"Liberation Sans", text = u"AB";
  VZ(lib, SetFontFace)(W(face));
  VZ(lib, SetNurbPathCircleCW)(1.0f, 0.0f, 0.0f, 0.5f);
  VZ(lib, AddTTFHatchPatternLine)
  (0.1f, BORDER_GAP_INWARD, 0.05f, 0.0f, 0, 0, HATCH_SERPENTINE, EN_FALSE);
  VZ(lib, AppendCharactersEx)(W(text));
  int* data = nullptr;
  float box[10], *carets = nullptr;
  VZ(lib, GetOutLinesEx)(-1, EN_RT_BORDER, &data, box);
  VZ(lib, DeleteTTFData)(data);
  VZ(lib, GetCaretPositionData)(&carets);
  VZ(lib, DeleteCaretData)(carets);
  VZ(lib, InitializeTTF)(1000.0f);
}

// The heap in use after `sessions` runs of `session`, minus that after its first five (when the
// loader's own caches are warm). The sanitizer's allocator bypasses malloc's accounting;
// LeakSanitizer checks these loops at exit instead.
template <typename F>
static long HeapGrowth(int sessions, F session) {
  long before = 0;
  for (int i = 0; i < sessions + 5; ++i) {
    if (i == 5) before = static_cast<long>(mallinfo2().uordblks);
    session();
  }
  return static_cast<long>(mallinfo2().uordblks) - before;
}

TEST(Attach, ThousandLoadsAndUnloadsKeepTheHeapFlat) {
  const long growth = HeapGrowth(1000, [] {
    LoadedLibrary lib;
    Session(lib);
  });
#ifndef __SANITIZE_ADDRESS__
  EXPECT_LT(growth, 16 * 1024) << "heap grew by " << growth << " bytes";
#endif
  (void)growth;
}

// A host calling from short-lived threads: each thread's recycled point blocks go back to the
// heap when it ends, not at unload (before, every thread left its kept blocks behind).
TEST(Attach, ThreadsThatEndBeforeUnloadLeaveTheHeapFlat) {
  LoadedLibrary lib;
  const long growth = HeapGrowth(200, [&lib] { std::thread([&lib] { Session(lib); }).join(); });
#ifndef __SANITIZE_ADDRESS__
  EXPECT_LT(growth, 16 * 1024) << "heap grew by " << growth << " bytes";
#endif
  (void)growth;
}

// The records a host fetched come back from its trace log through `vuzodo replay`.
TEST(Replay, TheHostsRecordsComeBackFromItsTraceLog) {
  LoadedLibrary lib({"TTFLog.txt"});
  VZ(lib, InitializeTTF)(500.0f);
  VZ(lib, SetDefaults)();
  VZ(lib, SetFontStyle)(EN_STYLE_BOLD);
  VZ(lib, SetTextHeight)(1.5f);
  VZ(lib, SetCharacterAngle)(0.1f);
  VZ(lib, SetAutoKern)(EN_TRUE);
  VZ(lib, SetTextHeight)(-1.0f);  // refused: the log still has it, the replay refuses it too
  float stops[2] = {2.0f, 5.0f};
  VZ(lib, SetIndentPositions)(stops, 2);
  VZ(lib, SetModeWordWrap)(EN_TRUE);
  VZ(lib, SetTextBoxWidth)(9.0f);
  VZ(lib, SetTextHorizontalAlign)(EN_HALIGN_CENTER);
  // What the log cannot quote: parentheses, commas, line feeds, a semicolon after a parenthesis.
  std::u16string a = u"Tab\there, (odd) text;\nsecond line);\nthird (x)", b = u"2";
  VZ(lib, AppendCharactersEx)(W(a));
  // One record per line (wrapped lines too): the replay must give it as many (an overflow).
  std::vector<CharacterLineGapInfo> gaps(VZ(lib, GetTextLineCount)());
  EXPECT_EQ(VZ(lib, GetCharacterLineGapInfo)(gaps.data()), static_cast<int>(gaps.size()));
  int* data = nullptr;
  VZ(lib, GetOutLinesEx)(-1, EN_RT_BORDER, &data, nullptr);
  VZ(lib, DeleteTTFData)(data);
  VZ(lib, SetModeSuperscript)();
  VZ(lib, AppendCharactersEx)(W(b));
  const int n = VZ(lib, GetMultilineOutLines)(-1, EN_RT_BORDER, &data, nullptr);
  std::ostringstream host;
  for (int i = 0; i + 1 < n; ++i) host << data[i] << ' ';  // without the end mark
  VZ(lib, DeleteTTFData)(data);
  lib.Unload();
  ASSERT_GT(n, 300);
  const std::string log = (lib.Folder() / "TTFLog.txt").string();
  ASSERT_EQ(std::system((VUZODO_CLI " replay " + log + " -o " + log + ".json > /dev/null").c_str()),
            0);
  const std::string text = lib.Read("TTFLog.txt.json");
  const size_t from = text.find("\"outline\": ["), to = text.find("\"fill\"", from);
  ASSERT_NE(to, std::string::npos);
  // The numbers of the outline's nested lists, each after one space.
  std::string expected = " ";  // not " " + str(): GCC 12 at -O3 warns of an overlapping copy
  expected += host.str();
  EXPECT_EQ(std::regex_replace(text.substr(from + 11, to - from - 11), std::regex("[^-0-9]+"), " "),
            expected);
  // A line that is not a call fails the replay.
  std::ofstream(log) << "SetTextHeight(2.000000);\nthis is not a call\n";
  EXPECT_NE(std::system((VUZODO_CLI " replay " + log + " > /dev/null 2>&1").c_str()), 0);
}
