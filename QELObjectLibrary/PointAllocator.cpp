#include "PointAllocator.h"

#include <atomic>
#include <bit>
#include <cstdint>
#include <mutex>
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

#if QEL_POOL_POINTS
#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif
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

// One thread's free lists. Each free block holds the link to the next. Every pool is also on a
// process-wide list, so that unload can give back the blocks of threads that are still alive.
struct Pool {
  void* heads[kClasses] = {};
  std::size_t counts[kClasses] = {};
  Pool* prev = nullptr;
  Pool* next = nullptr;

  void Drain() noexcept {
    for (int c = 0; c < kClasses; ++c) {
      while (void* block = heads[c]) {
        heads[c] = *static_cast<void**>(block);
        ::operator delete(block);
      }
      counts[c] = 0;
    }
  }
};

// A pointer, not the pool itself: a thread_local with a destructor would make the C++ runtime
// hold the module loaded until the thread ends, so an unload would not unload. The thread-exit
// release goes through the system's own per-thread slot instead (a pthread key, or a fiber-local
// slot on Windows), which pins nothing and which unload deletes.
thread_local Pool* this_thread_pool = nullptr;

std::mutex pools_mutex;
Pool* pools = nullptr;                   // every live pool; guarded by pools_mutex
bool exit_slot_made = false;             // guarded by pools_mutex
std::atomic<bool> pools_closed = false;  // set at unload: no list is used after it

void Unlink(Pool* pool) noexcept {
  (pool->prev ? pool->prev->next : pools) = pool->next;
  if (pool->next) pool->next->prev = pool->prev;
}

void ReleasePool(void* data) noexcept {
  auto* pool = static_cast<Pool*>(data);
  {
    std::lock_guard lock(pools_mutex);
    Unlink(pool);
  }
  pool->Drain();
  if (this_thread_pool == pool) this_thread_pool = nullptr;
  delete pool;
}

#ifdef _WIN32
DWORD exit_slot = FLS_OUT_OF_INDEXES;
void NTAPI ReleasePoolAtExit(void* data) {
  if (data != nullptr) ReleasePool(data);
}
bool MakeExitSlot() {
  exit_slot = FlsAlloc(&ReleasePoolAtExit);
  return exit_slot != FLS_OUT_OF_INDEXES;
}
bool SetExitSlot(Pool* pool) {
  return FlsSetValue(exit_slot, pool) != 0;
}
// Freeing the slot also runs the callback for every thread that still holds a pool; those
// pools leave the list before it is drained.
void DeleteExitSlot() {
  FlsFree(exit_slot);
}
#else
pthread_key_t exit_slot;
extern "C" void ReleasePoolAtExit(void* data) {
  ReleasePool(data);
}
bool MakeExitSlot() {
  return pthread_key_create(&exit_slot, &ReleasePoolAtExit) == 0;
}
bool SetExitSlot(Pool* pool) {
  return pthread_setspecific(exit_slot, pool) == 0;
}
// After the key is deleted no thread runs its destructor, which would live in unmapped code.
void DeleteExitSlot() {
  pthread_key_delete(exit_slot);
}
#endif

// The calling thread's pool, made on first use; null once unload has begun, or when no pool
// can be had (no memory, no slot), and the heap serves the thread directly.
Pool* ThisThreadPool() noexcept {
  // Checked first: after unload the other threads' pointers point at freed pools.
  if (pools_closed.load(std::memory_order_acquire)) return nullptr;
  if (this_thread_pool != nullptr) return this_thread_pool;
  std::lock_guard lock(pools_mutex);
  if (pools_closed.load(std::memory_order_relaxed)) return nullptr;
  if (!exit_slot_made && !(exit_slot_made = MakeExitSlot())) return nullptr;
  auto* pool = new (std::nothrow) Pool;
  if (pool == nullptr) return nullptr;
  if (!SetExitSlot(pool)) {
    delete pool;
    return nullptr;
  }
  pool->next = pools;
  if (pools) pools->prev = pool;
  pools = pool;
  return this_thread_pool = pool;
}
#endif

}  // namespace

void* AllocatePointBlock(std::size_t bytes) {
  const int size_class = ClassOf(bytes);
  if (size_class >= kClasses) return ::operator new(bytes);
#if QEL_POOL_POINTS
  if (Pool* pool = ThisThreadPool()) {
    if (void* block = pool->heads[size_class]) {
      pool->heads[size_class] = *static_cast<void**>(block);
      --pool->counts[size_class];
      return block;
    }
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
  Pool* pool = ThisThreadPool();
  if (pool && pool->counts[size_class] < kBytesKeptPerClass / BlockBytes(size_class)) {
    *static_cast<void**>(block) = pool->heads[size_class];
    pool->heads[size_class] = block;
    ++pool->counts[size_class];
    return;
  }
#endif
  ::operator delete(block);
}

void ReleasePooledPointBlocks() noexcept {
#if QEL_POOL_POINTS
  pools_closed.store(true, std::memory_order_release);
  bool had_slot = false;
  {
    std::lock_guard lock(pools_mutex);
    had_slot = exit_slot_made;
    exit_slot_made = false;
  }
  if (had_slot) DeleteExitSlot();
  std::lock_guard lock(pools_mutex);
  while (Pool* pool = pools) {
    Unlink(pool);
    pool->Drain();
    delete pool;
  }
  this_thread_pool = nullptr;
#endif
}

}  // namespace qel
