// The first use of the primitives from several threads at once: exactly one
// of them binds the table, the others wait for it, and every call sees a
// complete table.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "primitives/CmIPPILoader.h"
#include "primitives/CmIPPSLoader.h"
#include "primitives/Ipps.h"

namespace {

TEST(ConcurrentStartTest, FirstCallsFromManyThreadsBindOnce) {
  // No outside library: this program must never look for a real one.
  ASSERT_TRUE(CmIPPSLoader::SetLibraryFileNames("", ""));
  ASSERT_TRUE(CmIPPILoader::SetLibraryFileNames("", ""));
  ASSERT_FALSE(PrimitivesBound());
  std::atomic<int> ready{0};
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      ready.fetch_add(1);
      while (ready.load() < 8) {
      }
      double a[16], b[16], c[16];
      for (int i = 0; i < 16; ++i) {
        a[i] = i;
        b[i] = t;
      }
      for (int round = 0; round < 100; ++round) {
        if (ippsAdd_64f(a, b, c, 16) != ippStsNoErr || c[15] != 15 + t) wrong.fetch_add(1);
        double s = 0;
        if (ippsSum_64f(c, 16, &s) != ippStsNoErr || s != 120 + 16 * t) wrong.fetch_add(1);
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_TRUE(PrimitivesBound());
  EXPECT_FALSE(CmIPPSLoader::SetLibraryFileNames("x", "y")) << "bound once, names fixed";
}

}  // namespace
