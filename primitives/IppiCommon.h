// Helpers shared by the internal image primitives. Private to primitives/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "primitives/IppsCommon.h"

namespace IppiCommon {

// True when a row step [bytes] cannot hold a row of AWidth pixels of
// APixelBytes bytes each: the rows would overlap and the last row would be
// written past its end. Negative and zero steps are refused by the same rule.
inline bool StepTooSmall(int AStep, int AWidth, int APixelBytes) noexcept {
  return static_cast<int64_t>(AStep) < static_cast<int64_t>(AWidth) * APixelBytes;
}

// The address of row ARow of an image whose first row starts at ABase.
template <class T>
inline T* Row(T* ABase, int AStep, int ARow) noexcept {
  using B = std::conditional_t<std::is_const_v<T>, const unsigned char, unsigned char>;
  return reinterpret_cast<T*>(reinterpret_cast<B*>(ABase) + static_cast<std::ptrdiff_t>(AStep) * ARow);
}

}  // namespace IppiCommon

namespace IppiCommon {

// The instruction sets beyond SSE2 that the image kernels take when the
// processor has them (checked once). The environment variable
// FR_PRIMITIVES_DISABLE_SIMD may name sets to leave unused ("avx2", "ssse3",
// separated by commas), so that the SSE2 and SSSE3 paths can be tested on a
// processor that has more; the results are the same either way.
bool UseAvx2() noexcept;
bool UseSsse3() noexcept;

}  // namespace IppiCommon
