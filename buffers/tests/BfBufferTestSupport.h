// The fixture of the buffer kinds' tests: no buffer object, container or
// block may outlive a test, and Since() tells what the store did meanwhile.
#pragma once

#include <gtest/gtest.h>

#include "buffers/BfInternalStore.h"
#include "platform/Interfaces.h"

class BufferKindTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FLive = TInterfacedObject::LiveInstances();
    FStart = BfGetStoreCounts();
    FMark = FStart;
  }
  void TearDown() override {
    const TBfStoreCounts d = BfGetStoreCounts() - FStart;
    EXPECT_EQ(TInterfacedObject::LiveInstances(), FLive) << "buffer objects leaked";
    EXPECT_EQ(d.ContainersAlive(), 0) << "containers leaked";
    EXPECT_EQ(d.BlocksOutstanding(), 0) << "blocks leaked";
  }
  // What happened since the last call (or SetUp, or Mark).
  TBfStoreCounts Since() {
    const TBfStoreCounts now = BfGetStoreCounts();
    const TBfStoreCounts d = now - FMark;
    FMark = now;
    return d;
  }
  void Mark() { FMark = BfGetStoreCounts(); }

 private:
  int64_t FLive = 0;
  TBfStoreCounts FStart, FMark;
};
