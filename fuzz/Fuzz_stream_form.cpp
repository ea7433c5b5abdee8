// The property stream read into an existing window made from the embedded
// layout. A failed read leaves the window with the components it had, none
// of them flagged loading; what loads stores and loads back the same.
#include "app/Unit1.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  TForm1::RegisterClasses();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  TMemoryStream in = FuzzStream(AData, ASize);
  std::unique_ptr<TForm1> form(TForm1::CreateFromLayout());
  const std::vector<TComponent*> before = FuzzChildren(form.get());
  try {
    ReadComponentFromStream(in, form.get());
  } catch (const Exception&) {
    FuzzCheck(!FuzzAnyLoading(form.get()), "a failed read left components flagged loading");
    FuzzCheck(FuzzChildren(form.get()) == before, "a failed read left components it made in the window");
    return 0;
  }
  FuzzCheckRoundTrip(form.get());
  return 0;
}
