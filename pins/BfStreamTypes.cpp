#include "pins/BfStreamTypes.h"

#include "buffers/BfBlockBuffer.h"
#include "buffers/BfComplexBuffer.h"
#include "buffers/BfIntegerBuffer.h"

#include <mutex>
#include <shared_mutex>

namespace {

// A new buffer of class T with ASize samples (none for 0 or fewer).
template <class T>
Ref<TBfGenericBuffer> CreateBuffer(int32_t ASize) {
  return T::CreateSize(ASize > 0 ? uint32_t(ASize) : 0u);
}

void UpdateNothing(TBfGenericBuffer* /*ABuffer*/, IFlNotifyOperation* /*AOperation*/) {}

struct TBufferTypeRegistry {
  std::shared_mutex Section;
  std::vector<TBfFlStreamTypeEntry> Entries;  // guarded by Section
};

// Starts with the buffer stream types in their start-up order: generic and
// binary data in block buffers (1-byte samples), then the real (8), integer
// (4) and complex (16) buffers; none updates anything.
TBufferTypeRegistry& BufferTypes() {
  static TBufferTypeRegistry* registry = [] {
    auto* r = new TBufferTypeRegistry;
    r->Entries = {
        {BfStreamID::Generic, 1, &CreateBuffer<TBfBlockBuffer>, &UpdateNothing},
        {BfStreamID::Binary, 1, &CreateBuffer<TBfBlockBuffer>, &UpdateNothing},
        {BfStreamID::Real, 8, &CreateBuffer<TBfRealBuffer>, &UpdateNothing},
        {BfStreamID::Integer, 4, &CreateBuffer<TBfIntegerBuffer>, &UpdateNothing},
        {BfStreamID::Complex, 16, &CreateBuffer<TBfComplexBuffer>, &UpdateNothing},
    };
    return r;
  }();
  return *registry;
}

}  // namespace

void RegisterBufferStreamType(const TGUID& AID, int32_t ASampleSize, TBfFlCreateBufferFunction ACreateFunction,
                              TBfFlUpdateBufferFunction AUpdateFunction) {
  TBufferTypeRegistry& r = BufferTypes();
  std::unique_lock hold(r.Section);
  for (TBfFlStreamTypeEntry& e : r.Entries)
    if (e.ID == AID) {
      e.CreateFunction = ACreateFunction;
      e.UpdateFunction = AUpdateFunction;
      return;
    }
  r.Entries.push_back({AID, ASampleSize, ACreateFunction, AUpdateFunction});
}

bool FindBufferStreamType(const TGUID& AID, TBfFlStreamTypeEntry& AEntry) {
  TBufferTypeRegistry& r = BufferTypes();
  std::shared_lock hold(r.Section);
  for (const TBfFlStreamTypeEntry& e : r.Entries)
    if (e.ID == AID) {
      AEntry = e;
      return true;
    }
  return false;
}

std::vector<TBfFlStreamTypeEntry> BufferStreamTypeEntries() {
  TBufferTypeRegistry& r = BufferTypes();
  std::shared_lock hold(r.Section);
  return r.Entries;
}
