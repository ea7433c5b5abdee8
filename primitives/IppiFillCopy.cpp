// Fill and copy of image regions: ippiSet_8u_C4R, ippiCopy_8u_C4R,
// ippiCopy_32s_C1R.
#include <cstring>
#include <type_traits>

#include "primitives/IppiCommon.h"

namespace IppInternal {

using IppiCommon::Row;
using IppiCommon::StepTooSmall;

IppStatus ippiSet_8u_C4R(const Ipp8u value[4], Ipp8u* pDst, int dstStep, IppiSize roiSize) {
  FR_IPP_REQUIRE(value, pDst);
  if (roiSize.width < 1 || roiSize.height < 1) return ippStsSizeErr;
  if (StepTooSmall(dstStep, roiSize.width, 4)) return ippStsStepErr;
  const Ipp8u v0 = value[0], v1 = value[1], v2 = value[2], v3 = value[3];
  for (int y = 0; y < roiSize.height; ++y) {
    Ipp8u* d = Row(pDst, dstStep, y);
    for (int x = 0; x < roiSize.width; ++x) {
      d[4 * x] = v0;
      d[4 * x + 1] = v1;
      d[4 * x + 2] = v2;
      d[4 * x + 3] = v3;
    }
  }
  return ippStsNoErr;
}

namespace {
template <class T>
IppStatus CopyRows(const T* pSrc, int srcStep, T* pDst, int dstStep, IppiSize roiSize, int APixelBytes) noexcept {
  FR_IPP_REQUIRE(pSrc, pDst);
  if (roiSize.width < 1 || roiSize.height < 1) return ippStsSizeErr;
  if (StepTooSmall(srcStep, roiSize.width, APixelBytes) || StepTooSmall(dstStep, roiSize.width, APixelBytes))
    return ippStsStepErr;
  const size_t bytes = static_cast<size_t>(roiSize.width) * static_cast<size_t>(APixelBytes);
  // memmove: a region copied onto itself (or onto an overlapping piece of
  // the same row) is not garbled within a row.
  for (int y = 0; y < roiSize.height; ++y) std::memmove(Row(pDst, dstStep, y), Row(pSrc, srcStep, y), bytes);
  return ippStsNoErr;
}
}  // namespace

IppStatus ippiCopy_8u_C4R(const Ipp8u* pSrc, int srcStep, Ipp8u* pDst, int dstStep, IppiSize roiSize) {
  return CopyRows(pSrc, srcStep, pDst, dstStep, roiSize, 4);
}
IppStatus ippiCopy_32s_C1R(const Ipp32s* pSrc, int srcStep, Ipp32s* pDst, int dstStep, IppiSize roiSize) {
  return CopyRows(pSrc, srcStep, pDst, dstStep, roiSize, 4);
}

}  // namespace IppInternal
