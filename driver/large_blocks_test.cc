// The program's operator new (large_blocks.cc), linked into this test's
// own program: large blocks in large pages given back when deleted, blocks
// that malloc maps fresh backed as they are handed out.

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include <gtest/gtest.h>

#include "driver/sanitized_allocation.h"

namespace {

constexpr size_t kLargePage = size_t{2} << 20;

class LargeBlocks : public testing::Test {
 protected:
  void SetUp() override {
#if !defined(__linux__) || defined(SB_SANITIZED_ALLOCATION)
    GTEST_SKIP() << "the program keeps the runtime's operator new here";
#endif
  }
};

uintptr_t address(const void* p) { return reinterpret_cast<uintptr_t>(p); }

// How many of the small pages of [from, from + size) are backed by memory,
// and how many there are.
std::pair<size_t, size_t> resident_pages(uintptr_t from, size_t size) {
  const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const uintptr_t start = from & ~(page - 1);
  std::vector<unsigned char> pages((from + size - start + page - 1) / page);
  if (::mincore(reinterpret_cast<void*>(start), from + size - start, pages.data()) != 0) {
    ADD_FAILURE() << "mincore: " << std::strerror(errno);
  }
  size_t resident = 0;
  for (unsigned char state : pages) resident += state & 1;
  return {resident, pages.size()};
}

TEST_F(LargeBlocks, ALargeBlockStartsOnALargePageAndGoesBackWhenDeleted) {
  constexpr size_t kSize = 1'500'000;
  auto* block = static_cast<unsigned char*>(::operator new(kSize));
  const uintptr_t mapping = address(block) & ~(kLargePage - 1);
  EXPECT_LT(address(block) - mapping, size_t{64});
  std::memset(block, 7, kSize);
  EXPECT_EQ(block[kSize - 1], 7);
  ::operator delete(block);
  EXPECT_EQ(resident_pages(mapping, kLargePage).first, 0u);
}

TEST_F(LargeBlocks, AMidSizeBlockIsBackedAsItIsHandedOut) {
  for (const size_t size : {size_t{128} << 10, size_t{300'000}, (size_t{1} << 20) - 1}) {
    void* block = ::operator new(size);
    const auto [resident, pages] = resident_pages(address(block), size);
    EXPECT_EQ(resident, pages) << size << " bytes";
    std::memset(block, 1, size);
    ::operator delete(block);
  }
}

}  // namespace
