// What the fuzz targets share: the abort on a broken promise of a reader,
// and the streams over the fuzzer's bytes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "component/CmFiler.h"
#include "platform/Classes.h"
#include "platform/Components.h"

// A reader accepted something it must not, or a round trip changed what
// was read: report and abort, so that libFuzzer keeps the input.
[[noreturn]] inline void FuzzMismatch(const char* AWhat) {
  std::fprintf(stderr, "fuzz check failed: %s\n", AWhat);
  std::abort();
}

inline void FuzzCheck(bool ACondition, const char* AWhat) {
  if (!ACondition) FuzzMismatch(AWhat);
}

inline TMemoryStream FuzzStream(const uint8_t* AData, size_t ASize) {
  return TMemoryStream(std::vector<uint8_t>(AData, AData + ASize));
}

// --- Stored components ------------------------------------------------------

// Whether AComponent or anything it owns is still flagged as being loaded or
// read: after a read, failed or not, nothing may be.
inline bool FuzzAnyLoading(TComponent* AComponent) {
  if (AComponent->HasState(TComponentStateFlag::csLoading) || AComponent->HasState(TComponentStateFlag::csReading))
    return true;
  for (int32_t i = 0; i < AComponent->ComponentCount(); ++i)
    if (FuzzAnyLoading(AComponent->Components(i))) return true;
  return false;
}

// The components AComponent owns, in order.
inline std::vector<TComponent*> FuzzChildren(TComponent* AComponent) {
  std::vector<TComponent*> children;
  for (int32_t i = 0; i < AComponent->ComponentCount(); ++i) children.push_back(AComponent->Components(i));
  return children;
}

inline std::vector<uint8_t> FuzzStore(TComponent* AComponent) {
  TMemoryStream out;
  try {
    WriteComponentToStream(out, AComponent);
  } catch (const Exception& e) {
    std::fprintf(stderr, "storing what was read failed: %s\n", e.what());
    FuzzMismatch("what was read cannot be stored");
  }
  return out.Data();
}

// What was read into ARead, stored, loads into AFresh (a new component of
// the same kind, or nullptr for one made by class name) and stores again as
// the same bytes.
inline void FuzzCheckRoundTrip(TComponent* ARead, TComponent* AFresh = nullptr) {
  FuzzCheck(!FuzzAnyLoading(ARead), "a component read is still flagged loading");
  const std::vector<uint8_t> first = FuzzStore(ARead);
  TMemoryStream in(first);
  std::unique_ptr<TComponent> made;
  try {
    TComponent* again = ReadComponentFromStream(in, AFresh);
    if (AFresh == nullptr) made.reset(again);
  } catch (const Exception& e) {
    std::fprintf(stderr, "loading what was stored failed: %s\n", e.what());
    FuzzMismatch("what was stored does not load");
  }
  TComponent* again = AFresh != nullptr ? AFresh : made.get();
  const std::vector<uint8_t> second = FuzzStore(again);
  if (second == first) return;
  size_t at = 0;
  while (at < first.size() && at < second.size() && first[at] == second[at]) ++at;
  std::fprintf(stderr, "stored first %zu bytes, then %zu; they differ from offset %zu:\n", first.size(), second.size(),
               at);
  for (const std::vector<uint8_t>* bytes : {&first, &second}) {
    for (size_t i = at < 16 ? 0 : at - 16; i < bytes->size() && i < at + 32; ++i)
      std::fprintf(stderr, (*bytes)[i] >= 0x20 && (*bytes)[i] < 0x7F ? " %c" : " %02X", (*bytes)[i]);
    std::fprintf(stderr, "\n");
  }
  FuzzMismatch("stored, loaded and stored again, the bytes differ");
}
