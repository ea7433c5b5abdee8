#include "primitives/CmMalloc.h"
#include "primitives/LibCDispatcher.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cmath>
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

namespace {

TEST(AlignedAllocTest, ItemVariantsMultiplyTheCountFirst) {
  EXPECT_EQ(AlignedAllocReals(0), nullptr);
  EXPECT_EQ(AlignedAllocComplex(-1), nullptr);
  EXPECT_EQ(AlignedAllocReals(INT32_MAX / 8 + 1), nullptr) << "the byte count would not fit";
  EXPECT_EQ(AlignedAllocComplex(INT32_MAX / 16 + 1), nullptr);
  auto* r = static_cast<double*>(AlignedAllocReals(5));
  auto* c = static_cast<double*>(AlignedAllocComplex(5));
  ASSERT_NE(r, nullptr);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(r) % 32, 0u);
  std::memset(r, 0, 5 * 8);
  std::memset(c, 0, 5 * 16);
  AlignedFree(r);
  AlignedFree(c);
}

TEST(LibCDispatcherTest, ExtendedPrecisionHelpers) {
  struct TRow {
    double X, Ceil;
  } rows[] = {{2.5, 3}, {-2.5, -2}, {3, 3}, {-0.25, 0}, {1e300, 1e300}};
  for (const auto& r : rows) EXPECT_EQ(LibCDispatcher::ceil(r.X), r.Ceil) << r.X;
  EXPECT_EQ(LibCDispatcher::sqrt(9), 3);
  EXPECT_EQ(LibCDispatcher::exp(0), 1);
  EXPECT_EQ(LibCDispatcher::log(1), 0);
  EXPECT_NEAR(LibCDispatcher::atan2(1, -1), 3 * std::atan(1.0), 1e-15);
  EXPECT_NEAR(LibCDispatcher::sin(1), std::sin(1.0), 1e-16);
  EXPECT_NEAR(LibCDispatcher::cos(1), std::cos(1.0), 1e-16);
}

}  // namespace
