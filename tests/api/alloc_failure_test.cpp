// Out of memory inside an export: the host gets the refusal value, never an exception across the
// C boundary or an abort, and the library still works once the text is finished. Every
// allocation the call makes is failed in turn (operator new is replaced for this program).
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "vuzodo/vuzodo.h"

// GCC takes the replaced operators' free() for a mismatch with new.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
long g_allocations_left = -1;  // < 0: no failure armed
bool g_failed = false;
}  // namespace

#ifndef __SANITIZE_ADDRESS__  // AddressSanitizer keeps operator new to itself
void* operator new(std::size_t size) {
  if (g_allocations_left == 0) {
    g_allocations_left = -1;
    g_failed = true;
    throw std::bad_alloc();
  }
  if (g_allocations_left > 0) --g_allocations_left;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
#endif

namespace {

std::vector<unsigned short> U16(const std::u16string& s) {
  std::vector<unsigned short> v(s.begin(), s.end());
  v.push_back(0);
  return v;
}

// The whole text's records, or empty.
std::vector<int> Records() {
  int* data = nullptr;
  int count = GetMultilineOutLines(-1, EN_RT_BORDER_POLYLINES_FILL, &data, nullptr);
  std::vector<int> out(data, data + (data != nullptr && count > 0 ? count : 0));
  DeleteTTFData(data);
  return out;
}

// The call runs with failures armed, so it allocates nothing itself.
unsigned short kText[] = {'H', 'a', 'g', '\n', 'W', 'o', 'r', 'l', 'd', 0};
unsigned short kSerif[] = {'L', 'i', 'b', 'e', 'r', 'a', 't', 'i', 'o',
                           'n', ' ', 'S', 'e', 'r', 'i', 'f', 0};

struct Case {
  const char* name;
  std::function<void()> setup;  // runs without failures
  std::function<int()> call;    // runs with the n-th allocation failing
};

// No hatch pattern: Clipper 6.4 is not safe against a failing allocation (it frees its
// intersection list twice), and the hatching library drops a character's fill on one.
void Start() {
  InitializeTTF(1000.0f);
  auto face = U16(u"Liberation Sans");
  SetFontFace(face.data());
}

TEST(AllocationFailure, EveryAllocationOfAnExportFailsIntoItsRefusal) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "operator new is AddressSanitizer's";
#endif
  const std::vector<Case> cases = {
      {"AppendCharactersEx", [] {}, [] { return AppendCharactersEx(kText); }},
      {"GetMultilineOutLines", [] { AppendCharactersEx(kText); },
       [] {
         int* data = nullptr;
         const int count = GetMultilineOutLines(-1, EN_RT_BORDER_POLYLINES_FILL, &data, nullptr);
         DeleteTTFData(data);
         return count;
       }},
      {"LoadCharacterRange", [] {},
       [] {
         LoadCharacterRange(kSerif, EN_STYLE_REGULAR, 0x41, 0x5A);
         return 1;
       }},
  };
  Start();
  AppendCharactersEx(kText);
  const std::vector<int> reference = Records();
  ASSERT_GT(reference.size(), 100u);

  for (const Case& c : cases) {
    int failures = 0;
    for (long n = 0;; ++n) {
      Start();
      c.setup();
      g_failed = false;
      g_allocations_left = n;
      const int result = c.call();
      g_allocations_left = -1;
      if (!g_failed) break;  // the call needed fewer than n allocations: every one was failed
      ++failures;
      // A failure the code absorbed (libstdc++'s sorts fall back to a slower way without their
      // buffer) must leave the full result; any other gives the refusal value.
      if (result != 0 && std::string(c.name) != "LoadCharacterRange") {
        EXPECT_EQ(Records(), reference)
            << c.name << " returned " << result << " with allocation " << n << " failing";
      }
      // Still usable: a new text lays out as before.
      FinishText();
      Start();
      AppendCharactersEx(kText);
      ASSERT_EQ(Records(), reference) << c.name << " after allocation " << n << " failed";
      FinishText();
    }
    EXPECT_GT(failures, 0) << c.name;
  }
}

}  // namespace
