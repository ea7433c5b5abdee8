#include "classifiers/NrRadialBasisFunctionNetwork.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

#include "classifiers/NrWorkerPool.h"

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
  const Real* features = AFeatures.Read();
  const Real* values = FValues->Read();
  FLastDistance = NrDistanceKernels::Settle(features, values, n, NrDistanceKernels::PlainSum(features, values, n));
  return FLastDistance;
}

// ---------------------------------------------------------------------------
// TNrRadialBasisFunctionNeurons

namespace {

// A byte-valued item k/256 is held as the byte k.
constexpr Real cByteScale = 1.0 / 256;

// k when AValue is k/256 with k an integer 0..255, otherwise -1 (also for
// NaN, infinities and subnormals). -0 counts as 0: |a - b| is the same for
// a = -0 and a = +0 whatever b is (a - b differs at most in the sign of a
// zero, which the absolute value drops), and likewise for b.
inline int32_t ByteOf(Real AValue) {
  if (!(AValue >= 0 && AValue < 1)) return -1;
  const Real scaled = AValue * 256;  // exact: a power of two, far from overflow
  const int32_t k = static_cast<int32_t>(scaled);
  return static_cast<Real>(k) == scaled ? k : -1;
}

// Blocks of 64 bytes holding ASize bytes.
size_t BlocksFor(uint32_t ASize) { return (static_cast<size_t>(ASize) + 63) / 64; }

}  // namespace

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
  if (!ANeuron) throw ENrClassifierError("The neuron container holds neurons only (the neuron handle is empty)");
  std::lock_guard<std::mutex> hold(FLock);
  TPrototype prototype{ANeuron->GetInstance(), ANeuron->GetInstance()->FValues.Get(), nullptr, 0, false, 0};
  Pack(prototype);
  // Both lists grow together or not at all.
  FPrototypes.push_back(prototype);
  try {
    FList.push_back(ANeuron);
  } catch (...) {
    FPrototypes.pop_back();
    throw;
  }
}

void TNrRadialBasisFunctionNeurons::Clear() {
  // The references are released outside the lock: a neuron's destruction
  // must not run while other threads wait for the container.
  std::vector<Ref<INrRadialBasisFunctionNeuron>> released;
  std::vector<TByteBlock> bytes;
  {
    std::lock_guard<std::mutex> hold(FLock);
    released.swap(FList);
    bytes.swap(FBytes);
    FPrototypes.clear();
  }
}

void TNrRadialBasisFunctionNeurons::RepackPrototypes() {
  std::lock_guard<std::mutex> hold(FLock);
  FBytes.clear();
  for (TPrototype& p : FPrototypes) {
    p.Bytes = false;
    Pack(p);
  }
}

void TNrRadialBasisFunctionNeurons::Pack(TPrototype& APrototype) {
  IBfRealBuffer* values = APrototype.Values;
  const uint32_t oldSize = APrototype.Size;
  APrototype.Size = values->GetSize();
  APrototype.Data = values->Read();
  const Real* data = APrototype.Data;
  bool bytes = true;
  for (uint32_t i = 0; i < APrototype.Size && bytes; ++i) bytes = ByteOf(data[i]) >= 0;
  if (!bytes) {
    APrototype.Bytes = false;  // its old blocks stay unused until Clear or RepackPrototypes
    return;
  }
  const size_t blocks = BlocksFor(APrototype.Size);
  if (!APrototype.Bytes || BlocksFor(oldSize) != blocks) {
    APrototype.ByteBlock = FBytes.size();
    FBytes.resize(FBytes.size() + blocks);
  }
  if (blocks > 0) {
    uint8_t* row = FBytes[APrototype.ByteBlock].Bytes;
    for (uint32_t i = 0; i < APrototype.Size; ++i) row[i] = static_cast<uint8_t>(ByteOf(data[i]));
    std::fill(row + APrototype.Size, row + blocks * 64, uint8_t(0));
  }
  APrototype.Bytes = true;
}

void TNrRadialBasisFunctionNeurons::CompareRange(size_t AFirst, size_t ALast, const Real* ASample,
                                                 uint32_t ASampleSize, uint32_t ABytePrefix,
                                                 const TNrDistanceSettings& ASettings) {
  using namespace NrDistanceKernels;
  const bool plain = ASettings.Kernel == dkPlain;
  const bool avx512 = ASettings.Kernel == dkAvx512;
  const bool useBytes = !plain && ASettings.Bytes;
  const uint8_t* sampleBytes = FSampleBytes.empty() ? nullptr : FSampleBytes[0].Bytes;

  // Neuron i's distance becomes its LastDistance, and whether it covers the
  // sample is noted. The store is atomic (and as cheap as a plain one) only
  // because a neuron added to the container twice may be stored by two
  // threads at once, with the same value.
  const auto Store = [this](size_t AIndex, Real ADistance) {
    TNrRadialBasisFunctionNeuron* neuron = FPrototypes[AIndex].Neuron;
    std::atomic_ref<Real>(neuron->FLastDistance).store(ADistance, std::memory_order_relaxed);
    FCovers[AIndex] = neuron->Covers(ADistance);
  };

  // Neurons waiting for the lane kernel: up to eight, any mix of lengths.
  const Real* protos[cLanes];
  uint32_t counts[cLanes];
  size_t slots[cLanes];
  uint32_t waiting = 0;
  const auto runLanes = [&] {
    if (waiting == 0) return;
    uint32_t common = counts[0];
    for (uint32_t k = 1; k < waiting; ++k) common = std::min(common, counts[k]);
    for (uint32_t k = waiting; k < cLanes; ++k) protos[k] = protos[0];  // unused lanes repeat lane 0
    // The lanes add the common leading items in blocks of eight; every lane
    // then continues with the plain loop from its partial sum, which is the
    // plain loop's own partial sum at that item.
    const uint32_t blocked = common & ~uint32_t(7);
    Real sums[cLanes] = {0, 0, 0, 0, 0, 0, 0, 0};
    if (blocked > 0) {
      if (avx512) LaneSumsAvx512(ASample, protos, blocked, sums);
      else LaneSumsAvx2(ASample, protos, blocked, sums);
    }
    for (uint32_t k = 0; k < waiting; ++k)
      Store(slots[k], Settle(ASample, protos[k], counts[k],
                             PlainSum(ASample + blocked, protos[k] + blocked, counts[k] - blocked, sums[k])));
    waiting = 0;
  };

  for (size_t i = AFirst; i < ALast; ++i) {
    // The neuron objects lie far apart in memory (each beside its
    // prototype's storage): each is fetched a few neurons ahead of its turn.
    if (i + 8 < ALast) __builtin_prefetch(&FPrototypes[i + 8].Neuron->FLastDistance, 1);
    const TPrototype& p = FPrototypes[i];
    if (useBytes && p.Bytes && std::min(ASampleSize, p.Size) <= ABytePrefix) {
      // The exact integer sum, scaled: the plain loop's result (see
      // NrDistanceKernels.h). No items give +0, as the plain loop does. The
      // packed bytes stand for the prototype (see the container's notes on
      // what invalidates them), so its buffer is not touched.
      const uint32_t n = std::min(ASampleSize, p.Size);
      uint64_t sad = 0;
      if (n > 0) {
        const uint8_t* row = FBytes[p.ByteBlock].Bytes;
        sad = avx512 ? ByteSadAvx512(sampleBytes, row, n) : ByteSadAvx2(sampleBytes, row, n);
      }
      Store(i, static_cast<Real>(sad) * cByteScale);
      continue;
    }
    // Through the Reals, always from the prototype's current storage.
    const uint32_t size = p.Values->GetSize();
    const Real* data = p.Values->Read();
    const uint32_t n = std::min(ASampleSize, size);
    if (size != p.Size || data != p.Data) FStale[i] = 1;  // moved or resized: pack again
    if (plain) {
      Store(i, Settle(ASample, data, n, PlainSum(ASample, data, n)));
    } else {
      protos[waiting] = data;
      counts[waiting] = n;
      slots[waiting] = i;
      if (++waiting == cLanes) runLanes();
    }
  }
  runLanes();
}

void TNrRadialBasisFunctionNeurons::Compare(IBfRealBuffer& AFeatures,
                                            std::vector<Ref<TNrRadialBasisFunctionNeuron>>& ACovering) {
  const TNrDistanceSettings settings = NrGetDistanceSettings();
  std::lock_guard<std::mutex> hold(FLock);
  const size_t count = FList.size();
  if (count == 0) return;
  const uint32_t sampleSize = AFeatures.GetSize();
  const Real* sample = AFeatures.Read();

  // The sample's leading byte-valued items, as bytes: a byte-valued
  // prototype is compared through bytes when the common items all lie there.
  uint32_t bytePrefix = 0;
  if (settings.Kernel != dkPlain && settings.Bytes) {
    FSampleBytes.resize(std::max<size_t>(BlocksFor(sampleSize), 1));
    uint8_t* bytes = FSampleBytes[0].Bytes;
    for (; bytePrefix < sampleSize; ++bytePrefix) {
      const int32_t k = ByteOf(sample[bytePrefix]);
      if (k < 0) break;
      bytes[bytePrefix] = static_cast<uint8_t>(k);
    }
  }

  FCovers.assign(count, 0);
  FStale.assign(count, 0);
  // Each thread takes a contiguous range of neurons and stores only the
  // distances of its own range; the kernels give every distance bit for bit,
  // so the split changes nothing but the time.
  const size_t parts = std::min<size_t>(static_cast<size_t>(settings.Threads),
                                        count / static_cast<size_t>(settings.NeuronsPerThread));
  if (parts <= 1) {
    CompareRange(0, count, sample, sampleSize, bytePrefix, settings);
  } else {
    TNrWorkerPool::Instance().Run(static_cast<int32_t>(parts), [&](int32_t APart) {
      const size_t part = static_cast<size_t>(APart);
      CompareRange(count * part / parts, count * (part + 1) / parts, sample, sampleSize, bytePrefix, settings);
    });
  }

  // Back on the calling thread, in neuron order: the covering neurons are
  // collected and moved prototypes are packed again.
  for (size_t i = 0; i < count; ++i) {
    if (FCovers[i]) ACovering.push_back(Ref<TNrRadialBasisFunctionNeuron>(FPrototypes[i].Neuron));
    if (FStale[i]) Pack(FPrototypes[i]);
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

TNrRadialBasisFunctionResultEvent TNrRadialBasisFunctionNetwork::GetOnResult() const {
  Ref<IFlLockSection> section = FLock->ReadLock();
  return FOnResult;
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
  FNeurons->Compare(*ATraingFeatures, covering);

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

void TNrRadialBasisFunctionNetwork::Train(const Ref<IBfRealBufferArray>& ATraingFeatures,
                                          const Ref<IBfRealBuffer>& AResposes, bool AUpdate) {
  if (!ATraingFeatures) throw ENrClassifierError("Train needs an array of feature vectors (the handle is empty)");
  if (!AResposes) throw ENrClassifierError("Train needs a buffer of categories (the handle is empty)");
  if (!AUpdate) Clear();
  const int32_t count = ATraingFeatures->GetCount();
  const int32_t categories = static_cast<int32_t>(AResposes->GetSize());
  const int32_t n = count < categories ? count : categories;
  for (int32_t i = 0; i < n; ++i) Train(ATraingFeatures->GetItem(i), AResposes->GetItem(i));
}

void TNrRadialBasisFunctionNetwork::Predict(const Ref<IBfRealBuffer>& AFeatures) {
  if (!AFeatures) throw ENrClassifierError("Predict needs a feature vector (the buffer handle is empty)");

  TNrRadialBasisFunctionResult result;
  // Starting above every finite distance: a covering neuron is never missed,
  // however far away it lies.
  Real smallest = std::numeric_limits<Real>::infinity();
  std::vector<Ref<TNrRadialBasisFunctionNeuron>> covering;
  FNeurons->Compare(*AFeatures, covering);
  for (const Ref<TNrRadialBasisFunctionNeuron>& neuron : covering) {
    const Real d = neuron->FLastDistance;
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
