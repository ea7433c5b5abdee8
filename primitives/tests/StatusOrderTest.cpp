// Every entry with an internal implementation, called through the table once
// with every pointer null and every number 0, and once with valid pointers
// and a zero length: null pointers are reported (-8) before lengths (-6).
// Entries whose zero-filled arguments fail a check of their own first (a
// zero FFT flag, a structure of no kind, a FIR length) are listed with the
// status they give instead.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include "primitives/Ipps.h"

namespace {

alignas(64) unsigned char gScratch[256];

template <class T>
T NullArgument() {
  return T{};
}

template <class T>
T ScratchArgument() {
  if constexpr (std::is_pointer_v<T>) {
    return static_cast<T>(static_cast<void*>(gScratch));
  } else {
    return T{};
  }
}

template <class... A>
IppStatus CallWithNulls(IppStatus (*AEntry)(A...)) {
  return AEntry(NullArgument<A>()...);
}

template <class... A>
IppStatus CallWithZeroLength(IppStatus (*AEntry)(A...)) {
  return AEntry(ScratchArgument<A>()...);
}

struct TRow {
  std::string Name;
  IppStatus WithNulls;
  IppStatus WithZeroLength;
};

std::vector<TRow> CallEveryEntry() {
  EnsurePrimitivesBound();
  std::vector<TRow> rows;
#define FR_CALL_Own(module, name) \
  rows.push_back({#module "::" #name, CallWithNulls(Bf##module##Dispatcher::name), CallWithZeroLength(Bf##module##Dispatcher::name)});
#define FR_CALL_Later(module, name)
#define FR_CALL_None(module, name)
#define FR_IPP_ENTRY(module, lookup, kind, route, name, params, args) FR_CALL_##kind(module, name)
#include "primitives/IppDispatchTable.def"
#undef FR_IPP_ENTRY
  return rows;
}

// With valid pointers and zeros elsewhere: flag 0 is no FFT flag, zeroed
// memory is a structure of no kind, a FIR of 0 taps has its own code.
const std::map<std::string, IppStatus> kZeroArgumentsStatus = {
    {"Basic::ippsFFTInitAlloc_C_64fc", ippStsFftFlagErr},   {"Basic::ippsFFTInitAlloc_R_64f", ippStsFftFlagErr},
    {"Basic::ippsFFTFree_C_64fc", ippStsContextMatchErr},   {"Basic::ippsFFTFree_R_64f", ippStsContextMatchErr},
    {"Basic::ippsFFTFwd_CToC_64fc", ippStsContextMatchErr}, {"Basic::ippsFFTInv_CToC_64fc", ippStsContextMatchErr},
    {"Basic::ippsFFTFwd_RToCCS_64f", ippStsContextMatchErr}, {"Basic::ippsFFTInv_CCSToR_64f", ippStsContextMatchErr},
    {"Basic::ippsFIRInitAlloc_64f", ippStsFIRLenErr},       {"Basic::ippsFIRFree_64f", ippStsContextMatchErr},
    // The look-up table's per-channel arrays are read before the size: with
    // the zeroed scratch they hold null pointers.
    {"Basic::ippiLUT_Linear_8u_C4R", ippStsNullPtrErr},
};

TEST(StatusOrderTest, NullPointersComeBeforeLengths) {
  const auto rows = CallEveryEntry();
  EXPECT_EQ(rows.size(), 190u) << "entries with an internal implementation";
  for (const auto& row : rows) {
    EXPECT_EQ(row.WithNulls, ippStsNullPtrErr) << row.Name;
    const auto other = kZeroArgumentsStatus.find(row.Name);
    EXPECT_EQ(row.WithZeroLength, other == kZeroArgumentsStatus.end() ? ippStsSizeErr : other->second) << row.Name;
  }
  for (const auto& [name, status] : kZeroArgumentsStatus) EXPECT_NE(status, ippStsNoErr) << name;
}

}  // namespace
