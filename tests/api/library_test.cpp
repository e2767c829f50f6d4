// The shared library as a host sees it: the C header, the symbol table, and
// what attach and detach do.
#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>

#include "LoadedLibrary.h"
#include "vuzodo/vuzodo.h"

extern "C" size_t VuzodoCSizeOf(int which);

namespace {

std::set<std::string> ReadNameList(const char* path) {
  std::set<std::string> names;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] != '#') names.insert(line);
  }
  return names;
}

std::set<std::string> DynamicSymbols(const std::string& library) {
  std::set<std::string> names;
  const std::string command = "nm -D --defined-only '" + library + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return names;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    std::string line(buffer);
    line.erase(line.find_last_not_of("\r\n") + 1);
    const size_t space = line.find_last_of(' ');
    names.insert(line.substr(space + 1));
  }
  pclose(pipe);
  return names;
}

}  // namespace

TEST(Header, RecordsHaveTheSameLayoutInCAndCpp) {
  EXPECT_EQ(VuzodoCSizeOf(0), sizeof(CursorPosition));
  EXPECT_EQ(VuzodoCSizeOf(1), sizeof(CharacterLineGapInfo));
  EXPECT_EQ(VuzodoCSizeOf(2), sizeof(FontInformation));
  EXPECT_EQ(VuzodoCSizeOf(3), offsetof(CursorPosition, lineStart));
  EXPECT_EQ(VuzodoCSizeOf(3), 20u);
  EXPECT_EQ(VuzodoCSizeOf(4), offsetof(FontInformation, designHeight));
  EXPECT_EQ(VuzodoCSizeOf(4), 28u);
  EXPECT_EQ(VuzodoCSizeOf(5), 4u);
  EXPECT_EQ(VuzodoCSizeOf(6), sizeof(bool));
}

TEST(SymbolTable, ExportsExactlyTheInterface) {
  const std::set<std::string> golden = ReadNameList(VUZODO_EXPORTS_GOLDEN);
  const std::set<std::string> header = ReadNameList(VUZODO_EXPORTS_FROM_HEADER);
  ASSERT_EQ(golden.size(), 77u);
  EXPECT_EQ(header, golden) << "the header declares a different set of functions";
  const std::set<std::string> exported = DynamicSymbols(VUZODO_LIBRARY_FILE);
  std::set<std::string> extra, missing;
  std::set_difference(exported.begin(), exported.end(), golden.begin(), golden.end(),
                      std::inserter(extra, extra.end()));
  std::set_difference(golden.begin(), golden.end(), exported.begin(), exported.end(),
                      std::inserter(missing, missing.end()));
  EXPECT_TRUE(extra.empty()) << "unexpected export: " << *extra.begin();
  EXPECT_TRUE(missing.empty()) << "missing export: " << *missing.begin();
}

TEST(Attach, WithoutLogFilesNothingIsCreated) {
  LoadedLibrary lib;
  EXPECT_EQ(VZ(lib, SetTextHeight)(-1.0f), 0);
  EXPECT_EQ(VZ(lib, SetTextHeight)(2.0f), 1);
  EXPECT_EQ(VZ(lib, ClearTTFHatchPatterns)(), 1);
  lib.Unload();
  EXPECT_FALSE(std::filesystem::exists(lib.Folder() / "TTFLog.txt"));
  EXPECT_FALSE(std::filesystem::exists(lib.Folder() / "TTFCBNLog.txt"));
}

TEST(Attach, TraceLogIsAppendedAcrossLoads) {
  LoadedLibrary lib({.trace_log = true});
  VZ(lib, SetTextHeight)(2.0f);
  lib.Unload();
  lib.Load();
  VZ(lib, SetTextHeight)(3.0f);
  lib.Unload();
  EXPECT_EQ(lib.TraceText(), "SetTextHeight(2.000000);\nSetTextHeight(3.000000);\n");
}

TEST(Attach, AFolderNamedLikeTheLogIsNotALog) {
  LoadedLibrary lib;
  lib.Unload();
  std::filesystem::create_directory(lib.Folder() / "TTFLog.txt");
  lib.Load();
  EXPECT_EQ(VZ(lib, SetTextHeight)(2.0f), 1);  // no crash, nothing written
}

// The path start is stored times the unit size, which makes the unit size
// visible from outside.
float PathStartTimesUnit(LoadedLibrary& lib) {
  float points[4] = {0, 0, 10, 0};
  VZ(lib, SetNurbPathPolyline)(points, 4, 1.0f);
  return VZ(lib, GetPathLengthOfCharacters)();
}

TEST(Attach, DetachReleasesAllStateAndReattachStartsFresh) {
  LoadedLibrary lib;
  EXPECT_EQ(VZ(lib, GetTextLineCount)(), 0);
  VZ(lib, InitializeTTF)(250.0f);
  EXPECT_FLOAT_EQ(PathStartTimesUnit(lib), 250.0f);
  EXPECT_EQ(VZ(lib, GetTextLineCount)(), 1);
  lib.Unload();
  lib.Load();
  EXPECT_EQ(VZ(lib, GetTextLineCount)(), 0);
  EXPECT_FLOAT_EQ(PathStartTimesUnit(lib), 1000.0f);
}

// One host session: settings, a path, patterns, arrays fetched and released.
void Exercise(LoadedLibrary& lib) {
  VZ(lib, SetDefaults)();
  std::u16string face = Wide("Liberation Sans");
  VZ(lib, SetFontFace)(W(face));
  float tabs[3] = {1, 2, 3};
  VZ(lib, SetIndentPositions)(tabs, 3);
  VZ(lib, SetNurbPathCircleCW)(1.0f, 0.0f, 0.0f, 0.5f);
  VZ(lib, AddTTFHatchPatternLine)(0.1f, BORDER_GAP_INWARD, 0.05f, 0.0f, 0, 0, HATCH_SERPENTINE,
                                  EN_FALSE);
  std::u16string text = Wide("AB");
  VZ(lib, AppendCharactersEx)(W(text));
  int* data = nullptr;
  float box[10];
  VZ(lib, GetOutLinesEx)(-1, EN_RT_BORDER, &data, box);
  VZ(lib, DeleteTTFData)(data);
  float* carets = nullptr;
  VZ(lib, GetCaretPositionData)(&carets);
  VZ(lib, DeleteCaretData)(carets);
}

TEST(Attach, ThousandLoadsAndUnloadsKeepTheHeapFlat) {
  // Warm the loader's own caches first; then the heap in use must not grow.
  for (int i = 0; i < 5; ++i) {
    LoadedLibrary lib;
    Exercise(lib);
  }
  const size_t before = mallinfo2().uordblks;
  for (int i = 0; i < 1000; ++i) {
    LoadedLibrary lib;
    Exercise(lib);
  }
  const size_t after = mallinfo2().uordblks;
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizer's allocator bypasses malloc's accounting; LeakSanitizer
  // checks this loop at exit instead.
  (void)before;
  (void)after;
#else
  EXPECT_LT(after, before + 16 * 1024) << "heap grew by " << (after - before) << " bytes";
#endif
}
