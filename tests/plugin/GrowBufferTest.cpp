#include "plugin/GrowBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace tarvel {
namespace {

TEST(GrowBuffer, PageGranularityGrowsToWholePagesLessOverhead) {
  GrowBuffer buffer(4096);
  ASSERT_NE(buffer.Resize(8), nullptr);
  EXPECT_EQ(buffer.Allocated(), 4000);
  EXPECT_EQ(buffer.Size(), 8);

  ASSERT_NE(buffer.Resize(4000), nullptr);
  EXPECT_EQ(buffer.Allocated(), 4000);  // fits: no new block
  ASSERT_NE(buffer.Resize(4001), nullptr);
  EXPECT_EQ(buffer.Allocated(), 8096);

  // Half the request again, in whole pages, capped at 4 MiB of slack.
  ASSERT_NE(buffer.Resize(100000), nullptr);
  EXPECT_EQ(buffer.Allocated(), (100000 + 49152 + 96) / 4096 * 4096 - 96);
  ASSERT_NE(buffer.Resize(20000000), nullptr);
  EXPECT_EQ(buffer.Allocated(), (20000000 + 0x400000 + 96) / 4096 * 4096 - 96);
}

TEST(GrowBuffer, SmallGranularityAddsHalfOrOneGranule) {
  GrowBuffer small(128);
  ASSERT_NE(small.Resize(10), nullptr);
  EXPECT_EQ(small.Allocated(), 138);
  ASSERT_NE(small.Resize(1000), nullptr);
  EXPECT_EQ(small.Allocated(), 1500);

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
