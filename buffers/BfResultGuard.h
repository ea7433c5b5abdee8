// The rule of the result operations of every buffer kind: an operation whose
// result does not depend on the old items takes Write, which moves a shared
// buffer to a new container with undefined contents. When its primitive then
// refuses (a negative status: nothing written), the buffer must still hold
// the values it had, so the new container gets a copy of them.
#pragma once

#include <algorithm>
#include <cstdint>

#include "buffers/BfSimpleDataBuffer.h"
#include "primitives/Ipps.h"

// Runs AApply (which takes the buffer's Write pointer and calls one
// primitive, returning its status). The old container is kept alive as a
// transport that owns nothing, so holding it never makes the buffer count as
// shared; a sharer releasing it meanwhile cannot free the old items.
template <class F>
IppStatus BfResultOperation(TBfGenericBuffer& ABuffer, F AApply) {
  TBfSmartBuffer* old = ABuffer.GetDataContainer();
  const uint8_t* oldBytes = ABuffer.ByteRead();
  const uint32_t oldSize = ABuffer.GetByteSize();
  old->AddReff(false);
  struct TRelease {
    TBfSmartBuffer* FContainer;
    ~TRelease() { FContainer->RemoveReff(false); }
  } release{old};
  const IppStatus status = AApply();
  if (status < 0 && ABuffer.GetDataContainer() != old) {
    const uint32_t n = std::min(oldSize, ABuffer.GetByteSize());
    if (n > 0 && oldBytes != nullptr) ippsCopy_8u(oldBytes, ABuffer.ByteModify(), static_cast<int>(n));
  }
  return status;
}
