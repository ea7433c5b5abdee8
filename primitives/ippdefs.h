// Element types, status codes and the small enumerations and records of the
// numeric primitives, with the names and values of the IPP 5.1 interface.
// This header is the whole type vocabulary of the primitives: the status
// codes, rounding modes, comparisons, hints, image sizes and rectangles, and
// the opaque FFT and FIR specification handles.
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

// Complex values: real part first, as in memory.
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
inline constexpr IppStatus ippStsMemAllocErr = -9;
inline constexpr IppStatus ippStsDivByZeroErr = -10;
inline constexpr IppStatus ippStsStepErr = -14;
inline constexpr IppStatus ippStsFftOrderErr = -15;
inline constexpr IppStatus ippStsFftFlagErr = -16;
inline constexpr IppStatus ippStsContextMatchErr = -17;
inline constexpr IppStatus ippStsThreshNegLevelErr = -19;
inline constexpr IppStatus ippStsFIRLenErr = -26;
inline constexpr IppStatus ippStsShiftErr = -32;
inline constexpr IppStatus ippStsJaehneErr = -38;
inline constexpr IppStatus ippStsHugeWinErr = -39;
inline constexpr IppStatus ippStsSqrtNegArg = 3;
inline constexpr IppStatus ippStsDivByZero = 6;
inline constexpr IppStatus ippStsLnZeroArg = 7;
inline constexpr IppStatus ippStsLnNegArg = 8;

// Enumerations on a fixed int base: they pass to and from the outside
// libraries exactly as the IPP prototypes' C enumerations do, and every int
// value a caller passes is a valid value (the primitives treat unknown ones
// as their documented default).
enum IppRoundMode : int { ippRndZero = 0, ippRndNear = 1 };
enum IppCmpOp : int { ippCmpLess = 0, ippCmpLessEq = 1, ippCmpEq = 2, ippCmpGreaterEq = 3, ippCmpGreater = 4 };
enum IppHintAlgorithm : int { ippAlgHintNone = 0, ippAlgHintFast = 1, ippAlgHintAccurate = 2 };
enum IppCpuType : int { ippCpuUnknown = 0 };
enum IppiAxis : int { ippAxsHorizontal = 0, ippAxsVertical = 1, ippAxsBoth = 2 };
enum IppiAlphaType : int {
  ippAlphaOver, ippAlphaIn, ippAlphaOut, ippAlphaATop, ippAlphaXor, ippAlphaPlus,
  ippAlphaOverPremul, ippAlphaInPremul, ippAlphaOutPremul, ippAlphaATopPremul,
  ippAlphaXorPremul, ippAlphaPlusPremul
};

// Status codes of the image primitives.
inline constexpr IppStatus ippStsRoiOutsideSource = 29;  // warning: the region starts outside the source; nothing done
inline constexpr IppStatus ippStsMirrorFlipErr = -21;
inline constexpr IppStatus ippStsInterpolationErr = -22;
inline constexpr IppStatus ippStsResizeFactorErr = -23;
inline constexpr IppStatus ippStsAlphaTypeErr = -50;
inline constexpr IppStatus ippStsLUTNofLevelsErr = -106;
inline constexpr IppStatus ippStsResizeTooSmallErr = -201;  // the scaled region is smaller than half a pixel
// Interpolation codes of the resize primitives.
inline constexpr int IPPI_INTER_NN = 1;
inline constexpr int IPPI_INTER_LINEAR = 2;
inline constexpr int IPPI_INTER_CUBIC = 4;
inline constexpr int IPPI_INTER_SUPER = 8;
inline constexpr int IPPI_INTER_LANCZOS = 16;

// Image geometry: sizes in pixels.
struct IppiSize {
  int width;
  int height;
};
struct IppiRect {
  int x;
  int y;
  int width;
  int height;
};

// Normalisation flags of the FFT init entries.
inline constexpr int IPP_FFT_DIV_FWD_BY_N = 1;
inline constexpr int IPP_FFT_DIV_INV_BY_N = 2;
inline constexpr int IPP_FFT_DIV_BY_SQRTN = 4;
inline constexpr int IPP_FFT_NODIV_BY_ANY = 8;

// Opaque specification and state handles of the FFT and FIR families; their
// layouts belong to whoever made them (an outside library or the internal
// implementation).
struct IppsFFTSpec_C_64fc;
struct IppsFFTSpec_R_64f;
struct IppsFIRState_64f;
