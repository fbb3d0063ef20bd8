// The program's operator new (large_blocks.cc), linked into this test's
// own program: blocks that malloc would map fresh go into the tail of a
// live large block, and every page goes back to the system once nothing
// lives on it.

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SB_SANITIZED_ALLOCATION 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define SB_SANITIZED_ALLOCATION 1
#endif

namespace {

constexpr size_t kLargePage = size_t{2} << 20;
// 1.5 MB: its large page leaves a tail of about 0.5 MB.
constexpr size_t kLargeSize = 1'500'000;
constexpr size_t kMidSize = 300'000;

class LargeBlocks : public testing::Test {
 protected:
  void SetUp() override {
#if !defined(__linux__) || defined(SB_SANITIZED_ALLOCATION)
    GTEST_SKIP() << "the program keeps the runtime's operator new here";
#endif
  }
};

uintptr_t address(const void* p) { return reinterpret_cast<uintptr_t>(p); }

// The large page-aligned mapping a large block at p lies in.
uintptr_t mapping_of(const void* p) { return address(p) & ~(kLargePage - 1); }

// Whether any small page of [from, from + size) is backed by memory.
bool any_page_resident(uintptr_t from, size_t size) {
  const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const uintptr_t start = from & ~(page - 1);
  std::vector<unsigned char> pages((from + size - start + page - 1) / page);
  if (::mincore(reinterpret_cast<void*>(start), from + size - start, pages.data()) != 0) {
    ADD_FAILURE() << "mincore: " << std::strerror(errno);
    return true;
  }
  for (unsigned char state : pages) {
    if (state & 1) return true;
  }
  return false;
}

void fill(void* p, size_t size, unsigned char value) { std::memset(p, value, size); }

bool holds(const void* p, size_t size, unsigned char value) {
  const auto* bytes = static_cast<const unsigned char*>(p);
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] != value) return false;
  }
  return true;
}

TEST_F(LargeBlocks, MidSizeBlocksGoIntoTheTailOfALiveLargeBlockWhileItHasRoom) {
  void* large = ::operator new(kLargeSize);
  void* mid = ::operator new(kMidSize);
  // Past the large block's bytes, inside its last large page.
  EXPECT_GE(address(mid), address(large) + kLargeSize);
  EXPECT_LE(address(mid) + kMidSize, mapping_of(large) + kLargePage);
  // No room left for a second one; a small block is malloc's.
  void* second = ::operator new(kMidSize);
  void* small = ::operator new(64 << 10);
  for (void* other : {second, small}) {
    EXPECT_FALSE(address(other) >= mapping_of(large) &&
                 address(other) < mapping_of(large) + kLargePage);
  }
  fill(large, kLargeSize, 1);
  fill(mid, kMidSize, 2);
  EXPECT_TRUE(holds(large, kLargeSize, 1));
  EXPECT_TRUE(holds(mid, kMidSize, 2));
  for (void* p : {small, second, mid, large}) ::operator delete(p);
}

TEST_F(LargeBlocks, ALargeBlockDeletedBeforeItsTailBlockGivesBackAllButThatBlock) {
  void* large = ::operator new(kLargeSize);
  fill(large, kLargeSize, 1);
  void* mid = ::operator new(kMidSize);
  fill(mid, kMidSize, 2);
  const uintptr_t start = mapping_of(large);
  ::operator delete(large);
  EXPECT_TRUE(holds(mid, kMidSize, 2));
  // Its own pages go back to the system, and so does the rest of its tail
  // past the page the tail block ends in.
  EXPECT_FALSE(any_page_resident(start, address(large) + kLargeSize - start));
  const uintptr_t rest = address(mid) + kMidSize + 4096;
  EXPECT_FALSE(any_page_resident(rest, start + kLargePage - rest));
  // Its tail takes no more blocks.
  void* later = ::operator new(kMidSize);
  EXPECT_FALSE(address(later) >= start && address(later) < start + kLargePage);
  ::operator delete(later);
  ::operator delete(mid);
  EXPECT_FALSE(any_page_resident(start, kLargePage));
}

TEST_F(LargeBlocks, ATailEmptiedWhileTheLargeBlockLivesTakesBlocksAgain) {
  void* large = ::operator new(kLargeSize);
  void* first = ::operator new(kMidSize);
  ::operator delete(first);
  void* again = ::operator new(kMidSize);
  EXPECT_EQ(again, first);
  fill(again, kMidSize, 3);
  ::operator delete(again);
  const uintptr_t start = mapping_of(large);
  ::operator delete(large);
  EXPECT_FALSE(any_page_resident(start, kLargePage));
}

// Threads allocate and delete large and tail blocks at once, each large
// block before or after its tail block (which may lie in another thread's
// large block): every block keeps its bytes until it is deleted.
TEST_F(LargeBlocks, BlocksOfSeveralThreadsKeepTheirBytes) {
  const auto run = [](unsigned seed, bool* ok) {
    std::mt19937 random(seed);
    const auto kept = [&](const unsigned char* p, size_t size, size_t step, unsigned char mark) {
      for (size_t k = 0; k < size; k += step) *ok = *ok && p[k] == mark;
    };
    for (int i = 0; i < 100; ++i) {
      const size_t large_size = kLargeSize + random() % 400'000;
      const size_t mid_size = (128 << 10) + random() % 200'000;
      auto* large = static_cast<unsigned char*>(::operator new(large_size));
      auto* mid = static_cast<unsigned char*>(::operator new(mid_size));
      const auto mark = static_cast<unsigned char>(seed * 31 + i);
      for (size_t k = 0; k < large_size; k += 4096) large[k] = mark;
      for (size_t k = 0; k < mid_size; k += 512) mid[k] = mark;
      const bool large_first = random() % 2 == 0;
      if (large_first) ::operator delete(large);
      kept(mid, mid_size, 512, mark);
      if (!large_first) kept(large, large_size, 4096, mark);
      ::operator delete(mid);
      if (!large_first) ::operator delete(large);
    }
  };
  bool ok[4] = {true, true, true, true};
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < 4; ++t) threads.emplace_back(run, t + 1, &ok[t]);
  for (std::thread& thread : threads) thread.join();
  for (bool thread_ok : ok) EXPECT_TRUE(thread_ok);
}

}  // namespace
