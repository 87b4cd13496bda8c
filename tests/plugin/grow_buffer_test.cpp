#include "plugin/GrowBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace tarvel {
namespace {

// Whatever the sizes asked for: a block holds the size, a new one is taken
// only when the size outgrows the old, and a new block has room for half the
// size again (at least one granule; at most 4 MiB of slack with pages) and
// not much more, so growth step by step takes few blocks. With pages the
// block and the allocator's 96 bytes of overhead fill whole pages.
TEST(GrowBuffer, GrowthLeavesRoomForHalfAgainInWholePages) {
  for (const std::int32_t granularity : {4096, 128}) {
    SCOPED_TRACE(granularity);
    const bool paged = granularity >= 4096;
    GrowBuffer buffer(granularity);
    int blocks = 0;
    std::int32_t previous = 0;
    for (std::int32_t size = 1; size < 30000000; size += 1 + size / 7) {
      ASSERT_NE(buffer.Resize(size), nullptr);
      const std::int64_t allocated = buffer.Allocated();
      ASSERT_GE(allocated, size);
      if (paged) {
        ASSERT_EQ((allocated + 96) % 4096, 0);
      }
      if (allocated == previous) continue;
      ASSERT_GT(size, previous) << "a new block while the old one held the size";
      ++blocks;
      const std::int64_t room = std::max<std::int64_t>(size / 2, granularity);
      const std::int64_t slack = allocated - size;
      // Pages round the room and the block down: up to two pages less.
      EXPECT_GE(slack, std::min<std::int64_t>(room, 0x400000) - (paged ? 2 * 4096 : 0)) << size;
      EXPECT_LE(slack, room + (paged ? 4096 : 0)) << size;
      previous = buffer.Allocated();
    }
    EXPECT_LT(blocks, 60);  // geometric: a few dozen blocks up to 30 MB
  }
  GrowBuffer floored(128, 600);
  ASSERT_NE(floored.Resize(10), nullptr);
  EXPECT_EQ(floored.Allocated(), 600);  // never below the minimum allocation
}

TEST(GrowBuffer, ShrinksOnlyWhenAllowedAndMuchTooLarge) {
  GrowBuffer buffer(128);
  void* block = buffer.Resize(10000);
  const int allocated = buffer.Allocated();
  EXPECT_EQ(buffer.Resize(10000, true), block);  // same size: nothing changes
  EXPECT_EQ(buffer.Allocated(), allocated);

  EXPECT_NE(buffer.Resize(100), nullptr);  // no shrink: only the size drops
  EXPECT_EQ(buffer.Allocated(), allocated);
  EXPECT_EQ(buffer.Size(), 100);

  ASSERT_NE(buffer.Resize(8000), nullptr);
  EXPECT_NE(buffer.Resize(7600, true), nullptr);  // not below half the block: kept
  EXPECT_EQ(buffer.Allocated(), allocated);
  EXPECT_NE(buffer.Resize(100, true), nullptr);
  EXPECT_EQ(buffer.Allocated(), 228);

  // With a page granularity the block must also exceed the size by four pages.
  GrowBuffer paged(4096);
  paged.Resize(20000);
  const int pagedAllocated = paged.Allocated();
  paged.Resize(9000, true);
  EXPECT_EQ(paged.Allocated(), pagedAllocated);
}

TEST(GrowBuffer, ZeroSizeAnswersNull) {
  GrowBuffer buffer;
  EXPECT_EQ(buffer.Resize(0), nullptr);
  EXPECT_EQ(buffer.Size(), 0);
  buffer.Resize(64);
  EXPECT_EQ(buffer.Resize(0), nullptr);
  EXPECT_EQ(buffer.Data(), nullptr);
  buffer.Release();
  EXPECT_EQ(buffer.Allocated(), 0);
}

TEST(GrowBuffer, RefusesNegativeAndOverflowingSizes) {
  GrowBuffer buffer;
  void* block = buffer.Resize(100);
  std::memset(block, 7, 100);
  EXPECT_EQ(buffer.Resize(-1), nullptr);
  EXPECT_EQ(buffer.Resize(INT32_MAX), nullptr);  // the block would pass 32 bits
  EXPECT_EQ(buffer.Resize(INT32_MAX - 4096), nullptr);
  EXPECT_EQ(buffer.Size(), 100);
  EXPECT_EQ(buffer.Data(), block);
  EXPECT_EQ(static_cast<unsigned char*>(buffer.Data())[99], 7);

  GrowBuffer small(16);
  EXPECT_EQ(small.Resize(INT32_MAX - 8), nullptr);  // size + half the size wraps in 32 bits
  EXPECT_EQ(small.Size(), 0);
}

struct Counted {
  explicit Counted(std::vector<int>* log, int id) : log(log), id(id) {}
  ~Counted() { log->push_back(id); }
  std::vector<int>* log;
  int id;
};

TEST(PtrList, ReadsOutsideYieldNullAndDeletesLastToFirst) {
  std::vector<int> deleted;
  {
    PtrList<Counted> list;
    EXPECT_EQ(list.Get(0), nullptr);
    for (int i = 0; i < 600; ++i) ASSERT_NE(list.Append(std::make_unique<Counted>(&deleted, i)), nullptr);
    EXPECT_EQ(list.Count(), 600);
    EXPECT_EQ(list.Get(599)->id, 599);
    EXPECT_EQ(list.Get(-1), nullptr);
    EXPECT_EQ(list.Get(600), nullptr);
  }
  ASSERT_EQ(deleted.size(), 600u);
  EXPECT_EQ(deleted.front(), 599);
  EXPECT_EQ(deleted.back(), 0);
}

TEST(TextString, ShorterTextReplacesLonger) {
  TextString text;
  EXPECT_STREQ(text.Get(), "");
  EXPECT_TRUE(text.Set("equaliser"));
  EXPECT_TRUE(text.Set("eq"));
  EXPECT_STREQ(text.Get(), "eq");
}

}  // namespace
}  // namespace tarvel
