// Enumerations of the signal family that component properties carry: where a
// signal's clock comes from and how a consumer synchronises with its source.
// One byte each.
#pragma once

#include <cstdint>

enum TBfClockSource : uint8_t {
  csInternal,
  csExternal,
};

enum TBfSynchronizeType : uint8_t {
  stNone,
  stSingleBuffer,
  stQueue,
};
