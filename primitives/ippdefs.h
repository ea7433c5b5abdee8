// Element types and status codes of the numeric primitives, with the names and
// values of the IPP 5.1 interface.
#pragma once

#include <cstdint>

using Ipp8u = uint8_t;
using Ipp8s = int8_t;
using Ipp16u = uint16_t;
using Ipp16s = int16_t;
using Ipp32u = uint32_t;
using Ipp32s = int32_t;
using Ipp64u = uint64_t;
using Ipp64s = int64_t;
using Ipp32f = float;
using Ipp64f = double;

struct Ipp64fc {
  Ipp64f re;
  Ipp64f im;
};
struct Ipp32fc {
  Ipp32f re;
  Ipp32f im;
};

// 0 success; negative: an error after which nothing has been written;
// positive: a warning after which all output has been written.
using IppStatus = int;
inline constexpr IppStatus ippStsNoErr = 0;
inline constexpr IppStatus ippStsSizeErr = -6;
inline constexpr IppStatus ippStsNullPtrErr = -8;
