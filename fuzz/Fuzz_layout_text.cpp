// The readable layout text. Any text either compiles or raises
// ETextLayoutError. What compiles is a stored layout whose record ends
// exactly where the bytes end (a value read as the end of a list would end
// it early); when it also loads, it stores and loads back the same.
#include <string_view>

#include "app/Unit1.h"
#include "component/CmTextLayout.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Controls.h"

namespace {

TLayoutConstants Constants() {
  TLayoutConstants constants;
  for (const TNamedConstant& c : ToolkitConstants()) constants.emplace_back(c.Name, c.Value);
  return constants;
}

// One record and what it owns, walked by its structure alone.
void WalkRecord(TReader& AReader) {
  AReader.ReadStr();  // class name
  AReader.ReadStr();  // component name
  while (!AReader.EndOfList()) {
    AReader.ReadStr();
    AReader.SkipValue();
  }
  AReader.ReadValue();
  while (!AReader.EndOfList()) WalkRecord(AReader);
  AReader.ReadValue();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  TForm1::RegisterClasses();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  static const TLayoutConstants constants = Constants();
  const std::string_view text(reinterpret_cast<const char*>(AData), ASize);
  TMemoryStream compiled;
  try {
    TextLayoutToBinary(text, compiled, "fuzz.layout", constants);
  } catch (const ETextLayoutError&) {
    return 0;
  }
  compiled.SetPosition(0);
  {
    TReader reader(compiled);
    try {
      reader.ReadSignature();
      WalkRecord(reader);
    } catch (const EReadError& e) {
      std::fprintf(stderr, "%s\n", e.what());
      FuzzMismatch("a compiled layout is no well-formed record");
    }
    FuzzCheck(compiled.GetPosition() == compiled.GetSize(), "a compiled layout's record ends before its bytes");
  }
  compiled.SetPosition(0);
  std::unique_ptr<TComponent> root;
  try {
    root.reset(ReadComponentFromStream(compiled));
  } catch (const Exception&) {
    return 0;
  }
  FuzzCheckRoundTrip(root.get());
  return 0;
}
