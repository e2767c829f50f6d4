// The engine's share of `vuzodo render -i job.txt -H 5 --hatch line:gap=0.1`: 10,000
// characters on 100 lines of the default face, line hatch at 1/50 of the cap height, laid out
// line by line as the command appends them, then the outline, fill and hatch streams fetched
// once each. bench/compare times the command on the same text (written by --write-job FILE)
// and sets its time against these: the job repeated in this process (warm font and heap), and
// the job once in a fresh process, as the command runs it.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "vuzodo/vuzodo.h"

namespace {

constexpr int kLines = 100;
constexpr int kLineLength = 100;

std::vector<std::string> Lines() {
  const std::string words =
      "The quick brown fox jumps over the lazy dog while 0123456789 serial numbers mark every "
      "part. ";
  std::string text;
  while (text.size() < static_cast<size_t>(kLines * kLineLength)) text += words;
  std::vector<std::string> lines;
  for (int i = 0; i < kLines; ++i) lines.push_back(text.substr(i * kLineLength, kLineLength));
  return lines;
}

// Lays out the job and fetches its three streams; returns how many ints they hold.
long RunJob(const std::vector<std::u16string>& pieces) {
  InitializeTTF(1000.0f);
  SetDefaults();
  SetTextHeight(5.0f);
  AddTTFHatchPatternLine(0, BORDER_GAP_INWARD, 0.1f, 0, 0, 0, HATCH_UNIDIRECTIONAL, EN_FALSE);
  for (std::u16string piece : pieces) {
    AppendCharactersEx(reinterpret_cast<unsigned short*>(piece.data()));
  }
  long ints = 0;
  for (const EN_ReturnType type : {EN_RT_BORDER, EN_RT_FILL, EN_RT_HATCH_POLYLINES}) {
    int* data = nullptr;
    float box[8];
    ints += GetMultilineOutLines(-1, type, &data, box);
    DeleteTTFData(data);
  }
  FinishText();
  ClearTTFHatchPatterns();
  return ints;
}

std::vector<std::u16string> Pieces() {
  std::vector<std::u16string> pieces;
  for (const std::string& line : Lines()) {
    // The command appends each line with its line feed; the last line has none.
    pieces.emplace_back(line.begin(), line.end());
    if (pieces.size() < kLines) pieces.back() += u'\n';
  }
  return pieces;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         1e-6 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

void BM_HatchedJob(benchmark::State& state) {
  const std::vector<std::u16string> pieces = Pieces();
  long ints = 0;
  for (auto _ : state) ints = RunJob(pieces);
  state.counters["ints"] = static_cast<double>(ints);
}
BENCHMARK(BM_HatchedJob)->Unit(benchmark::kMillisecond);

// The job in a new process each time (this binary with --run-job), which reports the CPU time
// (user + system) of the job alone: font loaded and heap grown cold, as for the command line.
void BM_HatchedJobFresh(benchmark::State& state) {
  char self[4096] = {};
  if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) {
    state.SkipWithError("cannot find this binary");
    return;
  }
  const std::string command = "'" + std::string(self) + "' --run-job";
  for (auto _ : state) {
    FILE* child = popen(command.c_str(), "r");
    double seconds = -1;
    if (child == nullptr || std::fscanf(child, "%lf", &seconds) != 1 || pclose(child) != 0 ||
        seconds < 0) {
      state.SkipWithError("the job's process failed");
      break;
    }
    state.SetIterationTime(seconds);
  }
}
BENCHMARK(BM_HatchedJobFresh)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

// `writers_bench --write-job FILE` writes the job's text and stops; `--run-job [N]` runs the
// job and prints its CPU seconds.
int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--run-job") == 0) {
    // `--run-job N` runs it N times and times the last: under callgrind, N = 2 less N = 1 is
    // the work of one warm run.
    const int runs = argc == 3 ? std::max(1, std::atoi(argv[2])) : 1;
    const std::vector<std::u16string> pieces = Pieces();
    double start = 0;
    for (int i = 0; i < runs; ++i) {
      start = CpuSeconds();
      RunJob(pieces);
    }
    std::printf("%.6f\n", CpuSeconds() - start);
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "--write-job") == 0) {
    FILE* f = std::fopen(argv[2], "w");
    if (f == nullptr) return 1;
    const std::vector<std::string> lines = Lines();
    for (size_t i = 0; i < lines.size(); ++i) {
      std::fprintf(f, "%s%s", lines[i].c_str(), i + 1 < lines.size() ? "\n" : "");
    }
    return std::fclose(f) == 0 ? 0 : 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
