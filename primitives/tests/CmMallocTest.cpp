#include "primitives/CmMalloc.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

TEST(AlignedAllocTest, NonPositiveCountsGiveNull) {
  for (int32_t count : {0, -1, INT32_MIN}) EXPECT_EQ(AlignedAlloc(count), nullptr) << count;
  AlignedFree(nullptr);  // does nothing
}

TEST(AlignedAllocTest, BlocksAreAlignedAndUsable) {
  for (int32_t count : {1, 7, 32, 33, 4096, 1 << 20}) {
    auto* p = static_cast<uint8_t*>(AlignedAlloc(count));
    ASSERT_NE(p, nullptr) << count;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 32, 0u) << count;
    std::memset(p, 0xA5, static_cast<size_t>(count));  // the whole block is ours
    AlignedFree(p);
  }
}

}  // namespace
