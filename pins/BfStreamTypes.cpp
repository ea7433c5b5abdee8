#include "pins/BfStreamTypes.h"

#include <mutex>
#include <shared_mutex>

namespace {

Ref<TBfGenericBuffer> CreateRealBuffer(int32_t ASize) {
  return TBfRealBuffer::CreateSize(ASize > 0 ? uint32_t(ASize) : 0u);
}

void UpdateNothing(TBfGenericBuffer* /*ABuffer*/, IFlNotifyOperation* /*AOperation*/) {}

struct TBufferTypeRegistry {
  std::shared_mutex Section;
  std::vector<TBfFlStreamTypeEntry> Entries;  // guarded by Section
};

// Starts with the buffer types whose classes exist: the real buffer.
TBufferTypeRegistry& BufferTypes() {
  static TBufferTypeRegistry* registry = [] {
    auto* r = new TBufferTypeRegistry;
    r->Entries.push_back({BfStreamID::Real, 8, &CreateRealBuffer, &UpdateNothing});
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
