// Allocator of the polylines' point arrays.
#ifndef QELOBJECTLIBRARY_POINTALLOCATOR_H
#define QELOBJECTLIBRARY_POINTALLOCATOR_H

#include <cstddef>

namespace qel {

// Point arrays are allocated and released for every glyph contour the layout clones, typically a
// few hundred bytes to a few kilobytes. The general heap serves blocks above about one kilobyte
// on a slow path, which made a 50-point clone cost several times a copy of the same data. Requests
// of 65 bytes to 16 KiB are therefore rounded up to a power of two (at least 128 bytes) and
// recycled through small per-thread free lists (bounded to 128 KiB per size); other sizes go to the
// heap directly. A thread's lists go back to the heap when the thread ends. The sanitizer build
// bypasses the lists so that every block stays under its watch.
void* AllocatePointBlock(std::size_t bytes);
void ReleasePointBlock(void* block, std::size_t bytes) noexcept;
// Gives every thread's recycled blocks back to the heap and stops recycling for
// the rest of the process. A library that is unloaded must call it, with no
// thread inside it: the lists and their thread-exit release live in its code.
void ReleasePooledPointBlocks() noexcept;

template <class T>
struct PointAllocator {
  using value_type = T;

  PointAllocator() = default;
  template <class U>
  constexpr PointAllocator(const PointAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) { return static_cast<T*>(AllocatePointBlock(n * sizeof(T))); }
  void deallocate(T* p, std::size_t n) noexcept { ReleasePointBlock(p, n * sizeof(T)); }

  template <class U>
  friend constexpr bool operator==(const PointAllocator&, const PointAllocator<U>&) noexcept {
    return true;
  }
};

}  // namespace qel

#endif  // QELOBJECTLIBRARY_POINTALLOCATOR_H
