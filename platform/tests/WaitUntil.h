// Waiting in tests for something another thread must do, with a deadline.
//
// A test that polls without a deadline turns a broken lock or loop into a
// hang; these waits give up after a generous limit instead, so the test fails
// and the run goes on. Callers check the result with EXPECT and carry on, so
// that whatever a blocked thread waits for is still released before it is
// joined.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace frtest {

// Far above anything a working lock, loop or timer needs.
inline constexpr std::chrono::seconds GiveUpAfter{20};

// Polls ACondition, yielding between polls; false if it never became true.
inline bool WaitUntil(const std::function<bool()>& ACondition) {
  const auto deadline = std::chrono::steady_clock::now() + GiveUpAfter;
  while (!ACondition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

}  // namespace frtest
