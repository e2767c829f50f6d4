// Cold start in a fresh process per iteration: from loading the library to the first character's
// records, for a TrueType font and for a big SHX font of 6,000 shapes, against references doing
// the least the same first character needs (FreeType loaded, the face opened, the glyph loaded
// and decomposed, with and without fontconfig finding the file by its family; the big font's
// bytes read). Each iteration starts cold_start_child and takes
// the time it reports (process creation excluded); the counters split it into loading the
// library, setting the face, the append and the retrieval, in milliseconds.
#include <benchmark/benchmark.h>
#include <fontconfig/fontconfig.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../shx/BigFont.h"

extern char** environ;

namespace {

std::string LiberationSansFile() {
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("Liberation Sans"));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  std::string file;
  FcChar8* path = nullptr;
  if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
    file = reinterpret_cast<const char*>(path);
  }
  if (match != nullptr) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  return file;
}

const std::string& BigFontPath() {
  static const std::string path = [] {
    const std::string p = (std::filesystem::temp_directory_path() /
                           ("coldstart_bench_" + std::to_string(getpid()) + ".shx"))
                              .string();
    const auto bytes = bench::MakeBigFont();
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return p;
  }();
  static const struct Cleanup {
    ~Cleanup() { std::filesystem::remove(path); }
  } cleanup;
  return path;
}

// Runs the child once; false when it failed. `parts` receives its five figures (ns).
bool RunChild(const std::vector<std::string>& args, double parts[5]) {
  int out[2];
  if (pipe(out) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(COLD_START_CHILD));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, COLD_START_CHILD, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  std::string text;
  char buffer[256];
  ssize_t n = 0;
  while ((n = read(out[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  close(out[0]);
  if (spawned != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
  std::istringstream in(text);
  for (int k = 0; k < 5; ++k) in >> parts[k];
  return static_cast<bool>(in);
}

void ColdStart(benchmark::State& state, const std::vector<std::string>& args) {
  const char* names[5] = {"total_ms", "load_ms", "face_ms", "append_ms", "retrieve_ms"};
  double sums[5] = {};
  for (auto _ : state) {
    double parts[5];
    if (!RunChild(args, parts)) {
      state.SkipWithError("the cold start child failed");
      return;
    }
    for (int k = 0; k < 5; ++k) sums[k] += parts[k];
    state.SetIterationTime(parts[0] * 1e-9);
  }
  for (int k = 0; k < 5; ++k) {
    state.counters[names[k]] = sums[k] * 1e-6 / static_cast<double>(state.iterations());
  }
}

void BM_ColdTrueType(benchmark::State& state) {
  ColdStart(state, {"vuzodo", VUZODO_LIBRARY, "Liberation Sans", "65"});
}
BENCHMARK(BM_ColdTrueType)->UseManualTime()->Unit(benchmark::kMillisecond);

// The face given as the font file's path, as hosts that ship their fonts do: no family to match.
void BM_ColdTrueTypeFile(benchmark::State& state) {
  ColdStart(state, {"vuzodo", VUZODO_LIBRARY, LiberationSansFile(), "65"});
}
BENCHMARK(BM_ColdTrueTypeFile)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ColdTrueType_FreeType(benchmark::State& state) {
  ColdStart(state, {"freetype", "libfreetype.so.6", LiberationSansFile(), "65"});
}
BENCHMARK(BM_ColdTrueType_FreeType)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same with the family's file found through fontconfig, as the engine finds it.
void BM_ColdTrueType_FontconfigFreeType(benchmark::State& state) {
  ColdStart(state, {"fontconfig", "libfreetype.so.6", "Liberation Sans", "65"});
}
BENCHMARK(BM_ColdTrueType_FontconfigFreeType)->UseManualTime()->Unit(benchmark::kMillisecond);

// The big font's first shape, 0x8140.
void BM_ColdBigShx(benchmark::State& state) {
  ColdStart(state, {"vuzodo", VUZODO_LIBRARY, BigFontPath(), "0x8140"});
}
BENCHMARK(BM_ColdBigShx)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ColdBigShx_ReadFile(benchmark::State& state) {
  ColdStart(state, {"read", "-", BigFontPath(), "0"});
}
BENCHMARK(BM_ColdBigShx_ReadFile)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
