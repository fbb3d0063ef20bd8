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
// The last large page of such a block is seldom full, and the rest of it,
// its tail, is backed already. Blocks of 128 KiB up to 1 MiB, which malloc
// would map on their own in fresh small pages (a long line's cells), go
// into the tail of a large block that lives and has room. When the large
// block is deleted before them, its own pages and the unused rest of its
// tail go back to the system at once, and the pages of its tail blocks when
// the last of them is deleted. Everything else goes to malloc as before.
//
// Linked into the POSIX program only; the library, the tests and the
// sanitizer builds keep the C++ runtime's operator new.

#include <cstddef>
#include <cstdlib>
#include <new>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SB_SANITIZED_ALLOCATION 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define SB_SANITIZED_ALLOCATION 1
#endif

#if defined(__linux__) && !defined(SB_SANITIZED_ALLOCATION)

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>

namespace {

constexpr size_t kLargePage = size_t{2} << 20;
// Blocks from this size on go into large pages.
constexpr size_t kLargeBlock = size_t{1} << 20;
// Blocks from this size up to kLargeBlock go into a large block's tail when
// one has room: below it malloc keeps them among its others, whose pages
// are backed already.
constexpr size_t kTailBlock = size_t{128} << 10;
// Address space reserved for large blocks; only what a block uses is ever
// backed by memory, and addresses are not used twice.
constexpr size_t kReservedSpace = size_t{64} << 30;
// Each block's header is kept in front of its bytes; this keeps the bytes
// aligned as operator new promises.
constexpr size_t kHeader = __STDCPP_DEFAULT_NEW_ALIGNMENT__;
// Large blocks whose tails take blocks at one time (a build holds one or
// two large blocks at once).
constexpr int kHosts = 4;

struct Header {
  // A large block's mapping: whole large pages.
  size_t length;
  // The large block whose tail holds this block, or which this large block
  // is (an entry of g_hosts); -1 for a large block without a tail to give.
  int32_t host;
  bool in_tail;
};
static_assert(sizeof(Header) <= kHeader);

// A large block whose tail takes blocks.
struct Host {
  // The large block's mapping (0 for an unused entry) and its end.
  uintptr_t start = 0;
  uintptr_t end = 0;
  // Where the tail begins: the first small page after the large block's
  // bytes. Where the next tail block goes.
  uintptr_t tail = 0;
  uintptr_t next = 0;
  int tail_blocks = 0;
  bool block_deleted = false;
};

std::atomic<uintptr_t> g_space_begin{0};
std::atomic<uintptr_t> g_space_next{0};
std::mutex g_hosts_mutex;
Host g_hosts[kHosts];

uintptr_t round_up(uintptr_t value, uintptr_t to) { return (value + to - 1) & ~(to - 1); }

uintptr_t small_page() {
  static const auto size = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  return size;
}

// The reserved range, on its first use; 0 when the system gives none.
uintptr_t reserved_space() {
  static const uintptr_t begin = [] {
    void* p = ::mmap(nullptr, kReservedSpace + kLargePage, PROT_NONE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) return uintptr_t{0};
    const uintptr_t aligned = round_up(reinterpret_cast<uintptr_t>(p), kLargePage);
    g_space_next.store(aligned, std::memory_order_relaxed);
    g_space_begin.store(aligned, std::memory_order_release);
    return aligned;
  }();
  return begin;
}

bool in_reserved_space(const void* p) {
  const uintptr_t begin = g_space_begin.load(std::memory_order_acquire);
  const auto address = reinterpret_cast<uintptr_t>(p);
  return begin != 0 && address >= begin && address < begin + kReservedSpace;
}

Header* header_of(void* p) {
  return reinterpret_cast<Header*>(static_cast<char*>(p) - kHeader);
}

// Back to reserved space: the memory of [from, to) goes to the system, the
// addresses stay out of malloc's reach.
void give_back(uintptr_t from, uintptr_t to) {
  if (from >= to) return;
  ::mmap(reinterpret_cast<void*>(from), to - from, PROT_NONE,
         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED, -1, 0);
}

// Lists the large block at [start, end), whose bytes end at `used`, as a
// host when its tail has room for a tail block; its entry, or -1.
int32_t offer_tail(uintptr_t start, uintptr_t used, uintptr_t end) {
  const uintptr_t tail = round_up(used, small_page());
  if (end - tail < kTailBlock) return -1;
  const std::lock_guard<std::mutex> lock(g_hosts_mutex);
  for (int32_t i = 0; i < kHosts; ++i) {
    if (g_hosts[i].start != 0) continue;
    g_hosts[i] = Host{start, end, tail, tail, 0, false};
    return i;
  }
  return -1;
}

// A large block of `size` bytes, or nullptr when the reserved range cannot
// give one (malloc then takes it).
void* allocate_large_block(size_t size) {
  const uintptr_t begin = reserved_space();
  if (begin == 0 || size > kReservedSpace / 2) return nullptr;
  const size_t length = round_up(size + kHeader, kLargePage);
  const uintptr_t start = g_space_next.fetch_add(length, std::memory_order_relaxed);
  if (start + length > begin + kReservedSpace) return nullptr;
  void* block = reinterpret_cast<void*>(start);
  if (::mprotect(block, length, PROT_READ | PROT_WRITE) != 0) return nullptr;
  // Only advice: the block works the same in small pages.
  ::madvise(block, length, MADV_HUGEPAGE);
  auto* header = static_cast<Header*>(block);
  header->length = length;
  header->in_tail = false;
  header->host = offer_tail(start, start + kHeader + size, start + length);
  return static_cast<char*>(block) + kHeader;
}

// A block of `size` bytes in the tail of a live large block, or nullptr
// when none has room.
void* allocate_in_tail(size_t size) {
  const uintptr_t needed = round_up(kHeader + size, kHeader);
  const std::lock_guard<std::mutex> lock(g_hosts_mutex);
  for (int32_t i = 0; i < kHosts; ++i) {
    Host& host = g_hosts[i];
    if (host.start == 0 || host.block_deleted || host.end - host.next < needed) continue;
    auto* header = reinterpret_cast<Header*>(host.next);
    header->length = needed;
    header->host = i;
    header->in_tail = true;
    host.next += needed;
    ++host.tail_blocks;
    return reinterpret_cast<char*>(header) + kHeader;
  }
  return nullptr;
}

void release_reserved(void* p) {
  const Header* header = header_of(p);
  if (header->host < 0) {
    const auto start = reinterpret_cast<uintptr_t>(header);
    give_back(start, start + header->length);
    return;
  }
  const std::lock_guard<std::mutex> lock(g_hosts_mutex);
  Host& host = g_hosts[header->host];
  if (header->in_tail) {
    if (--host.tail_blocks > 0) return;
    if (!host.block_deleted) {
      // The whole tail takes blocks again.
      host.next = host.tail;
      return;
    }
    give_back(host.tail, round_up(host.next, small_page()));
    host = Host{};
    return;
  }
  if (host.tail_blocks == 0) {
    give_back(host.start, host.end);
    host = Host{};
    return;
  }
  // Only the pages of the blocks in its tail stay.
  give_back(host.start, host.tail);
  give_back(round_up(host.next, small_page()), host.end);
  host.block_deleted = true;
}

void* allocate(size_t size) {
  if (size >= kLargeBlock) {
    if (void* p = allocate_large_block(size)) return p;
  } else if (size >= kTailBlock) {
    if (void* p = allocate_in_tail(size)) return p;
  }
  for (;;) {
    if (void* p = std::malloc(size ? size : 1)) return p;
    const std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}

void release(void* p) noexcept {
  if (in_reserved_space(p)) {
    release_reserved(p);
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
