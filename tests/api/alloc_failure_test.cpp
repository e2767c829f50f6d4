// Out of memory inside an export, each of its allocations failed in turn (operator new is replaced
// here): the host gets the refusal value, never an exception across the C boundary or an abort,
// and the library still works once the text is finished.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <new>
#include <vector>

#include "QELPolyLine.h"
#include "vuzodo/vuzodo.h"

// GCC takes the replaced operators' free() for a mismatch with new.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

long g_allocations_left = -1;  // < 0: no failure armed
std::size_t g_fail_size = 0;   // when not 0: the allocations of this size fail ...
long g_size_hits_left = -1;    // ... once this many of them have passed
bool g_failed = false;

// The whole text's records, or empty, then its carets' bytes.
std::vector<int> Records() {
  int* data = nullptr;
  const int count = GetMultilineOutLines(-1, EN_RT_BORDER_POLYLINES_FILL, &data, nullptr);
  std::vector<int> out(data, data + (data != nullptr && count > 0 ? count : 0));
  DeleteTTFData(data);
  CursorPosition* carets = nullptr;
  int carets_count = 0;
  float top = 0.0f;
  GetMultilineCaretPositionData(&carets, &carets_count, &top);
  const auto* bytes = reinterpret_cast<const unsigned char*>(carets);
  out.insert(out.end(), bytes, bytes + (carets != nullptr ? carets_count * sizeof *carets : 0));
  DeleteCaretData(reinterpret_cast<float*>(carets));
  return out;
}

// Static texts: the call runs with failures armed, so it allocates nothing itself. kMore goes on
// after kText: the box width wraps the last line at its space, which was there before the call,
// and kMore's line feed starts a line.
unsigned short kText[] = {'H', 'a', 'g', '\n', 'W', 'o', ' ', 'r', 'l', 'd', 0};
unsigned short kMore[] = {'a', 'n', 'd', 'W', 'o', 'r', 'l', 'd', '\n', 'x', 0};
unsigned short kLine[] = {'H', 'a', 'g', '\n', 0};
unsigned short kSans[] = {'L', 'i', 'b', 'e', 'r', 'a', 't', 'i',
                          'o', 'n', ' ', 'S', 'a', 'n', 's', 0};

// No hatch pattern: Clipper 6.4 is not safe against a failing allocation (it frees its
// intersection list twice), and the hatching library drops a character's fill on one.
void Start(bool with_text) {
  InitializeTTF(1000.0f);
  SetFontFace(kSans);
  SetModeWordWrap(EN_TRUE);
  SetTextBoxWidth(5.0f);  // user units: "Wo rld" fits, "Wo rldandWorld" does not
  if (with_text) AppendCharactersEx(kText);
}

}  // namespace

#ifndef __SANITIZE_ADDRESS__  // AddressSanitizer keeps operator new to itself
void* operator new(std::size_t size) {
  if (size == g_fail_size && g_size_hits_left-- == 0) g_allocations_left = 0;
  if (g_allocations_left == 0) {
    g_allocations_left = -1;
    g_failed = true;
    throw std::bad_alloc();
  }
  if (g_allocations_left > 0) --g_allocations_left;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
// The default array forms call these.
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
#endif

TEST(AllocationFailure, EveryAllocationOfAnExportFailsIntoItsRefusal) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "operator new is AddressSanitizer's";
#endif
  // name, the text before, the call. A refused call leaves the records and carets as they were;
  // one that absorbs the failure (the sorts of libstdc++ fall back to a slower way without their
  // buffer) gives those of the call that did not fail.
  const struct {
    const char* name;
    void (*start)();
    std::function<int()> call;
  } cases[] = {
      {"AppendCharactersEx", [] { Start(false); }, [] { return AppendCharactersEx(kText); }},
      {"AppendCharactersEx onto a text", [] { Start(true); },
       [] { return AppendCharactersEx(kMore); }},
      // The last line holds only its start caret, made at height 1; the append's first character
      // writes it over with a caret of the taller text.
      {"AppendCharactersEx onto a line start caret",
       [] {
         Start(false);
         AppendCharactersEx(kLine);
         SetTextHeight(2.0f);
       },
       [] { return AppendCharactersEx(kMore); }},
      {"GetMultilineOutLines", [] { Start(true); },
       [] {
         int* data = nullptr;
         const int count = GetMultilineOutLines(-1, EN_RT_BORDER_POLYLINES_FILL, &data, nullptr);
         DeleteTTFData(data);
         return count;
       }},
      {"LoadCharacterRange", [] { Start(false); },
       [] { return (LoadCharacterRange(kSans, EN_STYLE_BOLD, 0x41, 0x5A), 0); }},
  };
  Start(true);
  const std::vector<int> reference = Records();
  ASSERT_GT(reference.size(), 100u);
  for (const auto& c : cases) {
    c.start();
    const std::vector<int> before = Records();
    c.call();
    const std::vector<int> after = Records();
    int failures = 0;
    for (long n = 0;; ++n, ++failures) {
      c.start();
      g_failed = false;
      g_allocations_left = n;
      const int result = c.call();
      g_allocations_left = -1;
      if (!g_failed) break;  // the call needed fewer than n allocations: every one was failed
      EXPECT_EQ(Records(), result != 0 ? after : before) << c.name << ", allocation " << n;
      FinishText();  // still usable: a new text lays out as before
      Start(true);
      ASSERT_EQ(Records(), reference) << c.name << " after allocation " << n << " failed";
    }
    EXPECT_GT(failures, 0) << c.name;
  }
}

// Out of memory at each polyline the append allocates (an object size Clipper, which is not safe
// against a failure, never allocates): the glyph's contours refuse the append; a failure while
// the hatching library hands out the rings leaves the character no ring rather than some, and
// nothing freed is handed on to the layout.
TEST(AllocationFailure, APolylineFailingGivesAllRingsOrNone) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "operator new is AddressSanitizer's";
#endif
  unsigned short o[] = {'O', 0};
  const auto rings = [] {
    int* data = nullptr;
    const int count = GetMultilineOutLines(-1, EN_RT_HATCH_POLYLINES, &data, nullptr);
    DeleteTTFData(data);
    return count;
  };
  Start(false);
  ASSERT_EQ(AppendCharactersEx(o), 1);
  const int none = rings();  // the stream of a character without rings: its closing move
  int absorbed = 0;
  for (long n = 0;; ++n) {
    Start(false);
    ASSERT_EQ(AddTTFHatchPatternOffsetFilling(0.05f, EN_OFFSET_OUTSIDE_IN), 1);
    g_failed = false;
    g_fail_size = sizeof(CQELPolyLine);
    g_size_hits_left = n;
    const int result = AppendCharactersEx(o);
    g_fail_size = 0;
    const int count = result == 1 ? rings() : 0;
    ClearTTFHatchPatterns();
    if (!g_failed) {
      EXPECT_GT(count, none + 50) << "the rings of the O, with no failure";
      break;
    }
    if (result == 1) {
      ++absorbed;
      EXPECT_EQ(count, none) << "polyline " << n << ": some rings, or freed ones";
    }
  }
  EXPECT_GT(absorbed, 1);
}
