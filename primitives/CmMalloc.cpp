#include "primitives/CmMalloc.h"

#include <cstdlib>
#include <cstring>

void* AlignedAlloc(int32_t ACount) noexcept {
  if (ACount <= 0) return nullptr;
  constexpr std::uintptr_t kAlign = 32;
  const std::size_t total = static_cast<std::size_t>(ACount) + kAlign + sizeof(void*);
  void* heap = std::malloc(total);
  if (heap == nullptr) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(heap);
  const std::uintptr_t aligned = (start + sizeof(void*) + kAlign - 1) & ~(kAlign - 1);
  std::memcpy(reinterpret_cast<void*>(aligned - sizeof(void*)), &heap, sizeof(void*));
  return reinterpret_cast<void*>(aligned);
}

void AlignedFree(void* AAddress) noexcept {
  if (AAddress == nullptr) return;
  void* heap = nullptr;
  std::memcpy(&heap, static_cast<char*>(AAddress) - sizeof(void*), sizeof(void*));
  std::free(heap);
}

namespace {
void* AlignedAllocItems(int32_t ACount, int32_t AItemSize) noexcept {
  if (ACount <= 0 || ACount > INT32_MAX / AItemSize) return nullptr;
  return AlignedAlloc(ACount * AItemSize);
}
}  // namespace

void* AlignedAllocReals(int32_t ACount) noexcept { return AlignedAllocItems(ACount, 8); }
void* AlignedAllocComplex(int32_t ACount) noexcept { return AlignedAllocItems(ACount, 16); }
