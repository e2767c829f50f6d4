#include "PointAllocator.h"

#include <bit>
#include <cstdint>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define QEL_POOL_POINTS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QEL_POOL_POINTS 0
#endif
#endif
#ifndef QEL_POOL_POINTS
#define QEL_POOL_POINTS 1
#endif

namespace qel {

namespace {

constexpr std::size_t kSmallestBlock = 128;  // bytes; smaller arrays are cheap on the heap
constexpr int kClasses = 8;                  // 128 B, 256 B, ... 16 KiB

// Size class of a request, or kClasses when it is not pooled.
int ClassOf(std::size_t bytes) {
  if (bytes <= kSmallestBlock) return bytes > kSmallestBlock / 2 ? 0 : kClasses;
  return std::bit_width(bytes - 1) - std::bit_width(kSmallestBlock - 1);
}

constexpr std::size_t BlockBytes(int size_class) {
  return kSmallestBlock << size_class;
}

#if QEL_POOL_POINTS
constexpr std::size_t kBytesKeptPerClass = 128 * 1024;

// Constant-initialised and trivially destructible: usable at any point of a thread's life,
// including from destructors of static objects. Each free block holds the link to the next.
thread_local void* free_heads[kClasses] = {};
thread_local std::size_t free_counts[kClasses] = {};
#endif

}  // namespace

void* AllocatePointBlock(std::size_t bytes) {
  const int size_class = ClassOf(bytes);
  if (size_class >= kClasses) return ::operator new(bytes);
#if QEL_POOL_POINTS
  if (void* block = free_heads[size_class]) {
    free_heads[size_class] = *static_cast<void**>(block);
    --free_counts[size_class];
    return block;
  }
#endif
  return ::operator new(BlockBytes(size_class));
}

void ReleasePointBlock(void* block, std::size_t bytes) noexcept {
  if (block == nullptr) return;
  const int size_class = ClassOf(bytes);
  if (size_class >= kClasses) {
    ::operator delete(block);
    return;
  }
#if QEL_POOL_POINTS
  if (free_counts[size_class] < kBytesKeptPerClass / BlockBytes(size_class)) {
    *static_cast<void**>(block) = free_heads[size_class];
    free_heads[size_class] = block;
    ++free_counts[size_class];
    return;
  }
#endif
  ::operator delete(block);
}

void ReleasePooledPointBlocks() noexcept {
#if QEL_POOL_POINTS
  for (int c = 0; c < kClasses; ++c) {
    while (void* block = free_heads[c]) {
      free_heads[c] = *static_cast<void**>(block);
      ::operator delete(block);
    }
    free_counts[c] = 0;
  }
#endif
}

}  // namespace qel
