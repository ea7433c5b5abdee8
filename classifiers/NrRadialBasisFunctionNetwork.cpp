#include "classifiers/NrRadialBasisFunctionNetwork.h"

#include <algorithm>
#include <cmath>
#include <limits>

// ---------------------------------------------------------------------------
// TNrRadialBasisFunctionNeuron

TNrRadialBasisFunctionNeuron::TNrRadialBasisFunctionNeuron(const Ref<ICmLock>& ALock, const Ref<IBfRealBuffer>& AValues,
                                                           Real ACategory, Real AInfluenceField)
    : FLock(ALock),
      FInfluenceField(AInfluenceField),
      FCategory(ACategory),
      FValues(TBfRealBuffer::CreateCopy(AValues)) {}

Ref<TNrRadialBasisFunctionNeuron> TNrRadialBasisFunctionNeuron::Create(const Ref<ICmLock>& ALock,
                                                                       const Ref<IBfRealBuffer>& AValues,
                                                                       Real ACategory, Real AInfluenceField) {
  if (!AValues) throw ENrClassifierError("A neuron needs a prototype vector (the buffer handle is empty)");
  return MakeObject<TNrRadialBasisFunctionNeuron>(ALock, AValues, ACategory, AInfluenceField);
}

Ref<TNrRadialBasisFunctionNeuron> TNrRadialBasisFunctionNeuron::Create(const Ref<IBfRealBuffer>& AValues,
                                                                       Real ACategory, Real AInfluenceField) {
  return Create(Ref<ICmLock>(), AValues, ACategory, AInfluenceField);
}

Real TNrRadialBasisFunctionNeuron::ComputeDistance(IBfRealBuffer& AFeatures) {
  FLastDistance = 0;
  const uint32_t n = std::min(AFeatures.GetSize(), FValues->GetSize());
  const Real* a = AFeatures.Read();
  const Real* b = FValues->Read();
  // One addition per item, in item order, each rounded to a Real (no fast-math
  // regrouping is allowed in this build, so the order is the written one).
  Real sum = 0;
  for (uint32_t i = 0; i < n; ++i) sum = sum + std::fabs(a[i] - b[i]);
  FLastDistance = sum;
  return FLastDistance;
}

// ---------------------------------------------------------------------------
// TNrRadialBasisFunctionNeurons

int32_t TNrRadialBasisFunctionNeurons::Count() const {
  std::lock_guard<std::mutex> hold(FLock);
  return static_cast<int32_t>(FList.size());
}

Ref<TNrRadialBasisFunctionNeuron> TNrRadialBasisFunctionNeurons::Items(int32_t AIndex) const {
  std::lock_guard<std::mutex> hold(FLock);
  if (AIndex < 0 || static_cast<size_t>(AIndex) >= FList.size())
    throw ERangeError(Format("Index out of range = %d", AIndex));
  return Ref<TNrRadialBasisFunctionNeuron>(FList[static_cast<size_t>(AIndex)]->GetInstance());
}

void TNrRadialBasisFunctionNeurons::Add(const Ref<INrRadialBasisFunctionNeuron>& ANeuron) {
  std::lock_guard<std::mutex> hold(FLock);
  FList.push_back(ANeuron);
}

void TNrRadialBasisFunctionNeurons::Clear() {
  // The references are released outside the lock: a neuron's destruction
  // must not run while other threads wait for the container.
  std::vector<Ref<INrRadialBasisFunctionNeuron>> released;
  {
    std::lock_guard<std::mutex> hold(FLock);
    released.swap(FList);
  }
}

// ---------------------------------------------------------------------------
// TNrRadialBasisFunctionResult

TNrRadialBasisFunctionNeuronResult* TNrRadialBasisFunctionResult::Items(int32_t AIndex) const {
  if (AIndex < 0 || static_cast<size_t>(AIndex) >= FList.size())
    throw ERangeError(Format("Index out of range = %d", AIndex));
  return FList[static_cast<size_t>(AIndex)].get();
}

void TNrRadialBasisFunctionResult::Add(const Ref<INrRadialBasisFunctionNeuron>& ANeuron, Real ADistance) {
  FList.push_back(std::make_unique<TNrRadialBasisFunctionNeuronResult>(ANeuron, ADistance));
}

// ---------------------------------------------------------------------------
// TNrRadialBasisFunctionNetwork

TNrRadialBasisFunctionNetwork::TNrRadialBasisFunctionNetwork(TComponent* AOwner)
    : TCmComponent(AOwner),
      // The settings belong to the network and share its framework lock.
      FBackground(std::make_unique<TNrRadialBasisFunctionBackground>(this, FLock)),
      FNeurons(std::make_unique<TNrRadialBasisFunctionNeurons>()) {}

TNrRadialBasisFunctionNetwork::~TNrRadialBasisFunctionNetwork() {
  FBackground.reset();
  FNeurons.reset();
}

const TClassInfo& TNrRadialBasisFunctionNetwork::StaticClass() {
  using TSelf = TNrRadialBasisFunctionNetwork;
  static const TClassInfo info =
      TClassBuilder<TSelf>("TNrRadialBasisFunctionNetwork", &TCmComponent::StaticClass())
          // No declared defaults: both limits are always stored (unless 0,
          // which goes into "_Floats").
          .Float("MinInfluenceField", &TSelf::GetMinInfluenceField, &TSelf::SetMinInfluenceField)
          .Float("MaxInfluenceField", &TSelf::GetMaxInfluenceField, &TSelf::SetMaxInfluenceField)
          .Class("Background", TNrRadialBasisFunctionBackground::StaticClass(), &TSelf::GetBackground,
                 static_cast<void (TSelf::*)(TNrRadialBasisFunctionBackground*)>(&TSelf::SetBackground))
          .Event("OnResult", &TSelf::GetOnResult, &TSelf::SetOnResult)
          .Creates()
          .Build();
  return info;
}

const TClassInfo& TNrRadialBasisFunctionBackground::StaticClass() {
  using TSelf = TNrRadialBasisFunctionBackground;
  static const TClassInfo info =
      TClassBuilder<TSelf>("TNrRadialBasisFunctionBackground", &TCmOptionalDisabledPersistent::StaticClass())
          .Float("Category", &TSelf::GetCategory, &TSelf::SetCategory)
          .Build();
  return info;
}

void TNrRadialBasisFunctionNetwork::SetOnResult(const TNrRadialBasisFunctionResultEvent& AValue) {
  Ref<IFlLockSection> section = FLock->WriteLock();
  FOnResult = AValue;
}

namespace {

void CheckInfluenceField(const char* AName, Real AValue) {
  if (std::isnan(AValue)) throw ERangeError(Format("%s must be a number, not NaN", AName));
}

}  // namespace

void TNrRadialBasisFunctionNetwork::SetMaxInfluenceField(Real AValue) {
  CheckInfluenceField("MaxInfluenceField", AValue);
  FLock->Setter(FMaxInfluenceField, AValue, {});
}

void TNrRadialBasisFunctionNetwork::SetMinInfluenceField(Real AValue) {
  CheckInfluenceField("MinInfluenceField", AValue);
  FLock->Setter(FMinInfluenceField, AValue, {});
}

void TNrRadialBasisFunctionNetwork::Clear() { FNeurons->Clear(); }

void TNrRadialBasisFunctionNetwork::AddNeuron(const Ref<IBfRealBuffer>& AValues, Real ACategory,
                                              Real AInfluenceField) {
  FNeurons->Add(TNrRadialBasisFunctionNeuron::Create(FLock, AValues, ACategory, AInfluenceField));
}

void TNrRadialBasisFunctionNetwork::Train(const Ref<IBfRealBuffer>& ATraingFeatures, Real ACategory) {
  if (!ATraingFeatures) throw ENrClassifierError("Train needs a feature vector (the buffer handle is empty)");

  // 1. Distances to every neuron; the covering ones in neuron order.
  std::vector<Ref<TNrRadialBasisFunctionNeuron>> covering;
  const int32_t count = FNeurons->Count();
  for (int32_t i = 0; i < count; ++i) {
    Ref<TNrRadialBasisFunctionNeuron> neuron = FNeurons->Items(i);
    if (neuron->Covers(neuron->ComputeDistance(*ATraingFeatures))) covering.push_back(std::move(neuron));
  }

  // 2. Nothing covers the sample: a new neuron with the widest field.
  if (covering.empty()) {
    if (!FBackground->Excludes(ACategory)) AddNeuron(ATraingFeatures, ACategory, FMaxInfluenceField);
    return;
  }

  // 3. Covering neurons of other categories shrink to put the sample on
  //    their border; the smallest such distance bounds the new neuron.
  bool conflict = false;
  Real smallest = FMaxInfluenceField;
  for (const Ref<TNrRadialBasisFunctionNeuron>& neuron : covering) {
    if (neuron->FCategory == ACategory) continue;
    if (smallest > neuron->FLastDistance) smallest = neuron->FLastDistance;
    neuron->FInfluenceField = neuron->FLastDistance;
    conflict = true;
  }

  // 4. After a conflict the sample gets a neuron of its own, its field held at
  //    or above the lower limit. 5. Covered by its own category only: no change.
  if (conflict && !FBackground->Excludes(ACategory))
    AddNeuron(ATraingFeatures, ACategory, FMinInfluenceField > smallest ? FMinInfluenceField : smallest);
}

void TNrRadialBasisFunctionNetwork::Predict(const Ref<IBfRealBuffer>& AFeatures) {
  if (!AFeatures) throw ENrClassifierError("Predict needs a feature vector (the buffer handle is empty)");

  TNrRadialBasisFunctionResult result;
  // Starting above every finite distance: a covering neuron is never missed,
  // however far away it lies.
  Real smallest = std::numeric_limits<Real>::infinity();
  const int32_t count = FNeurons->Count();
  for (int32_t i = 0; i < count; ++i) {
    Ref<TNrRadialBasisFunctionNeuron> neuron = FNeurons->Items(i);
    const Real d = neuron->ComputeDistance(*AFeatures);
    if (!neuron->Covers(d)) continue;
    if (smallest > d) {
      smallest = d;
      result.Clear();
      result.Add(Ref<INrRadialBasisFunctionNeuron>(neuron), d);
    } else if (smallest == d) {
      result.Add(Ref<INrRadialBasisFunctionNeuron>(neuron), d);
    }
  }
  // The callback is copied (under the read section, so that a replacement
  // from another thread cannot tear it) and may replace OnResult while it runs.
  TNrRadialBasisFunctionResultEvent onResult;
  {
    Ref<IFlLockSection> section = FLock->ReadLock();
    onResult = FOnResult;
  }
  if (onResult) onResult(this, AFeatures, &result);
  // The class output (the first entry's category) goes to no pin yet.
}
