// The property stream read into an existing network component (as the
// learnt data and settings of a classifier will be). A failed read leaves the
// network with no owned components and unflagged; what loads has sound
// limits and stores and loads back the same.
#include <cmath>

#include "classifiers/NrRadialBasisFunctionNetwork.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RegisterClass(TNrRadialBasisFunctionNetwork::StaticClass());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  TMemoryStream in = FuzzStream(AData, ASize);
  std::unique_ptr<TNrRadialBasisFunctionNetwork> net(CreateComponent<TNrRadialBasisFunctionNetwork>(nullptr));
  try {
    ReadComponentFromStream(in, net.get());
  } catch (const Exception&) {
    FuzzCheck(!FuzzAnyLoading(net.get()), "a failed read left the network flagged loading");
    FuzzCheck(net->ComponentCount() == 0, "a failed read left components it made in the network");
    return 0;
  }
  FuzzCheck(!std::isnan(net->GetMinInfluenceField()) && !std::isnan(net->GetMaxInfluenceField()),
            "a NaN influence field was read");
  std::unique_ptr<TNrRadialBasisFunctionNetwork> fresh(CreateComponent<TNrRadialBasisFunctionNetwork>(nullptr));
  FuzzCheckRoundTrip(net.get(), fresh.get());
  return 0;
}
