// Peak heap for the 10,000-character paragraph of layout_bench: AppendCharactersEx plus
// GetOutLinesEx(-1, 0), fonts warm, against the size of the int array handed to the host.
//
// The binary replaces the global operator new and delete to count live bytes and their high
// mark. Everything the engine, its hatching library and Clipper allocate goes through them (C++
// containers and the host arrays); FreeType's mallocs do not, but the font is warm before the
// count starts, so its outlines are not part of the text's cost. The replacement slows every
// allocation a little, which is why it lives in a binary of its own and not beside the timed
// benchmarks of layout_bench.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <string>

#include "vuzodo/vuzodo.h"

namespace {

// Bytes by malloc_usable_size, so that the unsized delete can take off what new put on.
std::size_t live_bytes = 0;
std::size_t peak_bytes = 0;

void* Count(void* p) {
  if (p == nullptr) throw std::bad_alloc();
  live_bytes += malloc_usable_size(p);
  peak_bytes = std::max(peak_bytes, live_bytes);
  return p;
}

// GCC sees the library's new expressions inlined beside this free and warns of a mismatch;
// here new and delete are malloc and free by construction.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void Uncount(void* p) {
  if (p == nullptr) return;
  live_bytes -= malloc_usable_size(p);
  std::free(p);
}

}  // namespace

void* operator new(std::size_t n) {
  return Count(std::malloc(n == 0 ? 1 : n));
}
void* operator new[](std::size_t n) {
  return Count(std::malloc(n == 0 ? 1 : n));
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  void* p = std::malloc(n == 0 ? 1 : n);
  if (p != nullptr) {
    live_bytes += malloc_usable_size(p);
    peak_bytes = std::max(peak_bytes, live_bytes);
  }
  return p;
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept {
  return operator new(n, t);
}
void operator delete(void* p) noexcept {
  Uncount(p);
}
void operator delete[](void* p) noexcept {
  Uncount(p);
}
void operator delete(void* p, std::size_t) noexcept {
  Uncount(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  Uncount(p);
}

namespace {

// Must stay the text of Paragraph() in layout_bench.cpp.
std::u16string Paragraph(std::size_t length) {
  const std::u16string words =
      u"The quick brown fox jumps over the lazy dog while 0123456789 serial numbers mark "
      u"every part. ";
  std::u16string text;
  while (text.size() < length) text += words;
  text.resize(length);
  return text;
}

unsigned short* Wide(std::u16string& text) {
  return reinterpret_cast<unsigned short*>(text.data());
}

// Counters: `peak` the high mark above the heap held before the append (the font's characters
// are built then), `held` what the laid-out text keeps after the append, `output` the returned
// array, and their ratios to it. The line of the text is left behind a line feed before
// FinishText, which deletes every line but the last, so that no iteration inherits the stream
// capacity of the one before.
void BM_PeakHeap(benchmark::State& state) {
  const auto length = static_cast<std::size_t>(state.range(0));
  std::u16string text = Paragraph(length);
  std::u16string feed = u"\n";
  InitializeTTF(1000.0f);
  SetDefaults();
  AppendCharactersEx(Wide(text));  // warm the font
  AppendCharactersEx(Wide(feed));
  FinishText();
  std::size_t peak = 0, held = 0, output = 0;
  for (auto _ : state) {
    const std::size_t base = live_bytes;
    peak_bytes = live_bytes;
    AppendCharactersEx(Wide(text));
    held = live_bytes - base;
    int* data = nullptr;
    float box[8];
    const int count = GetOutLinesEx(-1, EN_RT_BORDER, &data, box);
    output = static_cast<std::size_t>(std::max(count, 0)) * sizeof(int);
    peak = peak_bytes - base;
    DeleteTTFData(data);
    AppendCharactersEx(Wide(feed));
    FinishText();
  }
  state.counters["peak"] = static_cast<double>(peak);
  state.counters["held"] = static_cast<double>(held);
  state.counters["output"] = static_cast<double>(output);
  state.counters["peak_per_output"] = output != 0 ? static_cast<double>(peak) / output : 0.0;
  state.counters["held_per_output"] = output != 0 ? static_cast<double>(held) / output : 0.0;
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(length));
}
BENCHMARK(BM_PeakHeap)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
