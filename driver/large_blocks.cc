// The program's operator new, which puts large blocks into large pages.
//
// A build's large buffers (a description read whole, a working copy read
// back) are written once from front to back and given back soon after. On
// a virtual machine the first touch of each 4 KiB page traps into the host
// and costs about as much as writing the page to a file; a 2 MiB page costs
// some thirty times less per byte. So blocks of 1 MiB and more are mapped
// on their own, each starting on a large page and rounded up to whole large
// pages, inside one address range reserved for them (which tells them from
// malloc's blocks when they are deleted); a deleted block's memory goes
// back to the system at once.
//
// Blocks of 128 KiB up to 1 MiB (a long line's cells) stay malloc's, which
// maps them on their own in fresh small pages unless it has freed memory
// to reuse; their pages are backed in one call, which costs about half of
// trapping into the host at each one's first write. Everything else goes
// to malloc as before.
//
// Linked into the POSIX program only; the library, the tests and the
// sanitizer builds keep the C++ runtime's operator new.

#include <cstddef>
#include <cstdlib>
#include <new>

#include "driver/sanitized_allocation.h"

#if defined(__linux__) && !defined(SB_SANITIZED_ALLOCATION)

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>

namespace {

constexpr size_t kLargePage = size_t{2} << 20;
// Blocks from this size on go into large pages.
constexpr size_t kLargeBlock = size_t{1} << 20;
// Blocks from this size up to kLargeBlock are backed at once (malloc's
// threshold for mapping a block on its own).
constexpr size_t kBackedBlock = size_t{128} << 10;
// Address space reserved for large blocks; only what a block uses is ever
// backed by memory, and addresses are not used twice.
constexpr size_t kReservedSpace = size_t{64} << 30;
// A block's length is kept in front of its bytes; this keeps the bytes
// aligned as operator new promises.
constexpr size_t kHeader = __STDCPP_DEFAULT_NEW_ALIGNMENT__;

std::atomic<uintptr_t> g_space_begin{0};
std::atomic<uintptr_t> g_space_next{0};

// The reserved range, on its first use; 0 when the system gives none.
uintptr_t reserved_space() {
  static const uintptr_t begin = [] {
    void* p = ::mmap(nullptr, kReservedSpace + kLargePage, PROT_NONE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) return uintptr_t{0};
    const uintptr_t aligned =
        (reinterpret_cast<uintptr_t>(p) + kLargePage - 1) & ~(kLargePage - 1);
    g_space_next.store(aligned, std::memory_order_relaxed);
    g_space_begin.store(aligned, std::memory_order_release);
    return aligned;
  }();
  return begin;
}

bool is_large_block(const void* p) {
  const uintptr_t begin = g_space_begin.load(std::memory_order_acquire);
  const auto address = reinterpret_cast<uintptr_t>(p);
  return begin != 0 && address >= begin && address < begin + kReservedSpace;
}

// A large block of `size` bytes, or nullptr when the reserved range cannot
// give one (malloc then takes it).
void* allocate_large_block(size_t size) {
  const uintptr_t begin = reserved_space();
  if (begin == 0 || size > kReservedSpace / 2) return nullptr;
  const size_t length = (size + kHeader + kLargePage - 1) & ~(kLargePage - 1);
  const uintptr_t start = g_space_next.fetch_add(length, std::memory_order_relaxed);
  if (start + length > begin + kReservedSpace) return nullptr;
  void* block = reinterpret_cast<void*>(start);
  if (::mprotect(block, length, PROT_READ | PROT_WRITE) != 0) return nullptr;
  // Only advice: the block works the same in small pages.
  ::madvise(block, length, MADV_HUGEPAGE);
  *static_cast<size_t*>(block) = length;
  return static_cast<char*>(block) + kHeader;
}

void release_large_block(void* p) {
  void* block = static_cast<char*>(p) - kHeader;
  const size_t length = *static_cast<size_t*>(block);
  // Back to reserved space: the memory goes to the system, the addresses
  // stay out of malloc's reach.
  ::mmap(block, length, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED, -1,
         0);
}

// Backs the small pages of [p, p + size) at once. Pages backed already
// (memory malloc reuses) are passed over; a system without the call (Linux
// before 5.14) leaves them to be backed at their first write.
void back_at_once(void* p, size_t size) {
#ifdef MADV_POPULATE_WRITE
  static const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const uintptr_t start = reinterpret_cast<uintptr_t>(p) & ~(page - 1);
  const uintptr_t end = reinterpret_cast<uintptr_t>(p) + size;
  ::madvise(reinterpret_cast<void*>(start), end - start, MADV_POPULATE_WRITE);
#else
  (void)p;
  (void)size;
#endif
}

void* allocate(size_t size) {
  if (size >= kLargeBlock) {
    if (void* p = allocate_large_block(size)) return p;
  } else if (size >= kBackedBlock) {
    if (void* p = std::malloc(size)) {
      back_at_once(p, size);
      return p;
    }
  }
  for (;;) {
    if (void* p = std::malloc(size ? size : 1)) return p;
    const std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}

void release(void* p) noexcept {
  if (is_large_block(p)) {
    release_large_block(p);
  } else {
    std::free(p);
  }
}

}  // namespace

// The other forms of new and delete in the C++ runtime (nothrow, aligned)
// call these or keep to malloc and free on their own.
void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }

#endif
