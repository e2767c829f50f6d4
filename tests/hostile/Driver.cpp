// Replays a libFuzzer target of fuzz/ in every build, under the sanitizers and valgrind: each seed
// whole, its truncations (every length, or --cuts lengths evenly spread) and --rounds seeded
// corruptions (bytes, and 32-bit words set to counts and offsets pointing anywhere), then --random
// inputs of random bytes. The target aborts on a broken invariant; a failure repeats.
//
//   hostile_<target> [--cuts=N] [--rounds=N] [--random=N] SEED_FILE_OR_FOLDER...
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

long g_inputs = 0;

// A copy of exactly the input's length, so that a read past its end is a heap overflow.
void Run(const Bytes& bytes) {
  auto copy = std::make_unique<std::uint8_t[]>(bytes.size());
  std::copy(bytes.begin(), bytes.end(), copy.get());
  LLVMFuzzerTestOneInput(copy.get(), bytes.size());
  ++g_inputs;
}

void Corrupt(Bytes& bytes, std::mt19937& random) {
  const auto size = static_cast<std::uint32_t>(bytes.size());
  const std::uint32_t words[] = {0,      1,          0xFFFFFFFF, 0x7FFFFFFF, 0x80000000,
                                 0xFFFF, 0x7FC00000, size,       size - 4,   size + 4};
  for (int hits = 1 + static_cast<int>(random() % 8); hits > 0; --hits) {
    const std::size_t at = random() % bytes.size();
    if (random() % 2 == 0 || at + 4 > bytes.size()) {
      bytes[at] = static_cast<std::uint8_t>(random());
    } else {
      const std::uint32_t w = words[random() % std::size(words)];
      for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(w >> (8 * i));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  std::size_t cuts = 1 << 20;
  int rounds = 64, random_inputs = 0;
  std::vector<fs::path> seeds;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.starts_with("--cuts=")) {
      cuts = std::max(1, std::atoi(arg.c_str() + 7));
    } else if (arg.starts_with("--rounds=")) {
      rounds = std::atoi(arg.c_str() + 9);
    } else if (arg.starts_with("--random=")) {
      random_inputs = std::atoi(arg.c_str() + 9);
    } else if (fs::is_directory(arg)) {
      const auto first = seeds.size();
      for (const auto& entry : fs::directory_iterator(arg)) seeds.push_back(entry.path());
      std::sort(seeds.begin() + static_cast<std::ptrdiff_t>(first), seeds.end());
    } else if (fs::is_regular_file(arg)) {
      seeds.emplace_back(arg);
    } else {
      std::fprintf(stderr, "%s: %s is neither a seed file nor a folder of seeds\n", argv[0],
                   arg.c_str());
      return 2;
    }
  }
  if (seeds.empty() && random_inputs == 0) {
    std::fprintf(stderr, "%s: no seeds given\n", argv[0]);
    return 2;
  }
  std::mt19937 random(20261207);
  for (const fs::path& seed : seeds) {
    std::ifstream in(seed, std::ios::binary);
    const Bytes whole{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    Run(whole);
    const std::size_t step = std::max<std::size_t>(1, whole.size() / cuts);
    for (std::size_t length = 0; length < whole.size(); length += step) {
      Run(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)));
    }
    for (int round = 0; round < rounds && !whole.empty(); ++round) {
      Bytes bytes = whole;
      Corrupt(bytes, random);
      Run(bytes);
    }
  }
  for (int k = 0; k < random_inputs; ++k) {
    Bytes bytes(random() % 2048);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    Run(bytes);
  }
  std::printf("%s: %ld inputs from %zu seeds, no failure\n", argv[0], g_inputs, seeds.size());
  return 0;
}
