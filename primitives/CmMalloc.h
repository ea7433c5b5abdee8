// Aligned heap allocation for data blocks and primitive work areas.
#pragma once

#include <cstdint>

// Returns a block of ACount bytes whose address is a multiple of 32, or null
// when ACount is 0 or less (read as a signed 32-bit number) or the heap is
// exhausted. The block is carved out of a heap block of
// ACount + 32 + sizeof(void*) bytes: the returned address is the first
// multiple of 32 at least one pointer's width past the heap block's start,
// and that start is kept in the pointer-sized word just below it.
void* AlignedAlloc(int32_t ACount) noexcept;

// Gives back a block of AlignedAlloc; does nothing for null.
void AlignedFree(void* AAddress) noexcept;

// AlignedAlloc for ACount doubles (8 bytes each) and for ACount double
// complex values (16 bytes each); null as AlignedAlloc, and also when the
// byte count does not fit a signed 32-bit number.
void* AlignedAllocReals(int32_t ACount) noexcept;
void* AlignedAllocComplex(int32_t ACount) noexcept;
