// The property stream read as a new root, made by its stored class name
// (the window's classes are registered). A failed read leaves nothing behind
// (LeakSanitizer sees to that); what loads stores and loads back the same.
#include "app/Unit1.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  TForm1::RegisterClasses();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  TMemoryStream in = FuzzStream(AData, ASize);
  std::unique_ptr<TComponent> root;
  try {
    root.reset(ReadComponentFromStream(in));
  } catch (const Exception&) {
    return 0;
  }
  FuzzCheckRoundTrip(root.get());
  return 0;
}
