// A host's working day in fast motion: 100,000 cycles of settings, patterns, appends, retrievals
// and carets; the heap in use (sampled, printed) stays flat once the caches are warm.
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "vuzodo/vuzodo.h"

namespace {

unsigned short* U(std::u16string& s) {
  return reinterpret_cast<unsigned short*>(s.data());
}

void Cycle(int i) {
  if (i % 100 == 0) InitializeTTF(i % 200 == 0 ? 1000.0f : 25.4f);
  SetDefaults();
  std::u16string faces[3] = {u"Arial", u"Liberation Serif", u"DejaVu Sans"};
  SetFontFace(U(faces[i % 3]));
  SetTextHeight(1.0f + (i % 7) * 0.25f);
  SetAutoKern(i % 2 ? EN_TRUE : EN_FALSE);
  SetCharacterAngle((i % 5) * 0.1f);
  SetModeWordWrap(i % 4 == 0 ? EN_TRUE : EN_FALSE);
  SetTextBoxWidth(6.0f);
  // Hatching costs most: every hundredth cycle fills its characters.
  if (i % 100 == 7) {
    AddTTFHatchPatternLine(0.01f, BORDER_GAP_INWARD, 0.08f, 0.5f, 0, 0, HATCH_SERPENTINE, EN_FALSE);
  }
  if (i % 100 == 8) ClearTTFHatchPatterns();
  std::u16string text = u"Serial " + std::u16string(1, u'0' + i % 10) + u"42\nLot AV-" +
                        std::u16string(1, u'A' + i % 26);
  AppendCharactersEx(U(text));
  for (int type : {0, 3, 5}) {
    int* data = nullptr;
    float box[10];
    GetOutLinesEx(-1, static_cast<EN_ReturnType>(type), &data, box);
    DeleteTTFData(data);
    GetMultilineOutLines(i % 12, static_cast<EN_ReturnType>(type), &data, box);
    DeleteTTFData(data);
    GetOutLines(i % 5 - 1, static_cast<EN_ReturnType>(type), &data, box);
    DeleteTTFData(data);
  }
  CursorPosition* carets = nullptr;
  int count = 0;
  float top = 0;
  GetMultilineCaretPositionData(&carets, &count, &top);
  DeleteCaretData(reinterpret_cast<float*>(carets));
  std::vector<CharacterLineGapInfo> gaps(static_cast<size_t>(GetTextLineCount()) + 1);
  GetCharacterLineGapInfo(gaps.data());
  FinishText();
}

TEST(Soak, HundredThousandCyclesKeepTheHeapFlat) {
  // VUZODO_SOAK_CYCLES shortens the run for valgrind, which checks every block itself; the
  // flatness bounds are set for the full run only.
  const char* env = std::getenv("VUZODO_SOAK_CYCLES");
  const int n = env ? std::atoi(env) : 0, kCycles = n > 0 && n < 100000 ? n : 100000;
  const int kSample = kCycles >= 10 ? kCycles / 10 : 1;
  const bool full = kCycles == 100000;
  // Fonts, patterns and allocator caches warm.
  for (int i = 0; i < (full ? 3000 : 300); ++i) Cycle(i);
  std::vector<size_t> curve;
  for (int i = 0; i < kCycles; ++i) {
    if (i % kSample == 0) curve.push_back(mallinfo2().uordblks);
    Cycle(i);
  }
  curve.push_back(mallinfo2().uordblks);
  std::printf("heap in use every %d cycles (bytes):", kSample);
  for (size_t v : curve) std::printf(" %zu", v);
  std::printf("\n");
#if !defined(__SANITIZE_ADDRESS__)  // whose allocator bypasses malloc's accounting
  // The curve wanders by tens of KiB with the allocator's own caches but must not climb: within
  // 32 KiB over the last 80,000 cycles, 96 KiB over the run; one byte a cycle would add 78 KiB.
  if (!full) return;
  EXPECT_LT(curve.back(), curve[2] + 32 * 1024);
  EXPECT_LT(curve.back(), curve.front() + 96 * 1024);
#endif
}

}  // namespace
