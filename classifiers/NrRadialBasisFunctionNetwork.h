// The radial-basis-function network: a classifier that learns from single
// labelled samples, one at a time.
//
// Every neuron is a prototype vector with a category and an influence field,
// a radius measured as the sum of absolute differences. A sample that no
// neuron covers becomes a new neuron; neurons of other categories that cover a
// sample shrink until it lies on their border. Prediction returns the covering
// neurons at the smallest distance. Categories are Reals compared for exact
// equality.
//
// The network is a component: its published properties (MinInfluenceField,
// MaxInfluenceField, Background, OnResult) are stored with a layout and
// written through the component's property lock, which the background
// settings and every neuron share.
//
// Distances: Train and Predict compare the sample with every neuron through
// the neuron container (TNrRadialBasisFunctionNeurons::Compare), which picks
// the fastest exact kernel of NrDistanceKernels.h and, for large networks,
// shares the neurons among several threads. Every distance is bit for bit the
// plain loop's, whichever kernel and however many threads.
//
// Threads: Train, Predict and Clear take no lock of the network and write
// each neuron's scratch distance (LastDistance), so one network serves one
// thread at a time. Only the neuron container is safe for single accesses
// (Count, Items, Add, Clear, Compare) from several threads. Property writes
// hold the network's write section; OnResult is replaced under it and Predict
// copies it under the read section.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "buffers/BfMatrixBuffer.h"
#include "buffers/BfSimpleDataBuffer.h"
#include "classifiers/NrDistanceKernels.h"
#include "component/CmComponent.h"
#include "platform/Interfaces.h"
#include "platform/SysUtils.h"
#include "platform/Types.h"

class TNrRadialBasisFunctionNeuron;

// A neuron as holders keep it: the container and every prediction result
// entry hold neurons through this interface, so a neuron lives as long as any
// of them refers to it.
struct INrRadialBasisFunctionNeuron : virtual IInterface {
  static constexpr TGUID IID = MakeGUID("{6F1C2A4E-93B7-4D05-A8E2-5B3C71D9F046}");
  virtual TNrRadialBasisFunctionNeuron* GetInstance() = 0;
};

// A feature or category argument the network cannot work with (an empty
// buffer handle).
class ENrClassifierError : public Exception {
  using Exception::Exception;
};

class TNrRadialBasisFunctionNeuron : public TInterfacedObject, public INrRadialBasisFunctionNeuron {
 public:
  // A neuron standing for ACategory with the influence field AInfluenceField
  // and a copy of AValues (sharing its storage until either side writes),
  // holding ALock, the property lock of the network that made it.
  static Ref<TNrRadialBasisFunctionNeuron> Create(const Ref<ICmLock>& ALock, const Ref<IBfRealBuffer>& AValues,
                                                  Real ACategory, Real AInfluenceField);
  // The same without a network's lock (a neuron on its own).
  static Ref<TNrRadialBasisFunctionNeuron> Create(const Ref<IBfRealBuffer>& AValues, Real ACategory,
                                                  Real AInfluenceField);

  TNrRadialBasisFunctionNeuron* GetInstance() override { return this; }

  // Read through the network's lock (its read section), when the neuron has one.
  Real GetInfluenceField() const { return FLock ? FLock->Getter(FInfluenceField) : FInfluenceField; }
  const Ref<ICmLock>& GetLock() const { return FLock; }
  Real GetCategory() const { return FCategory; }
  // The prototype. The network never writes into it; a container that holds
  // the neuron keeps a packed copy of it (see TNrRadialBasisFunctionNeurons),
  // so whoever writes into it afterwards must call the container's
  // RepackPrototypes.
  const Ref<IBfRealBuffer>& GetValues() const { return FValues; }
  // Distance from the vector most recently compared with this neuron; 0 after
  // creation.
  Real GetLastDistance() const { return FLastDistance; }

  // Sum of absolute differences over the common leading items of AFeatures
  // and the prototype, added in item order and rounded to a Real at every
  // step; stored as LastDistance and returned.
  Real ComputeDistance(IBfRealBuffer& AFeatures);
  // A vector is covered when its distance is strictly less than the field.
  bool Covers(Real ADistance) const { return ADistance < FInfluenceField; }

 protected:
  void* FindInterface(const TGUID& AIID) noexcept override {
    if (void* p = InterfaceOf<INrRadialBasisFunctionNeuron>(this, AIID)) return p;
    return TInterfacedObject::FindInterface(AIID);
  }

 private:
  friend class TNrRadialBasisFunctionNetwork;  // shrinks the field on conflicts
  friend class TNrRadialBasisFunctionNeurons;  // stores the distances of Compare
  TNrRadialBasisFunctionNeuron(const Ref<ICmLock>& ALock, const Ref<IBfRealBuffer>& AValues, Real ACategory,
                               Real AInfluenceField);
  template <class T, class... Args>
  friend Ref<T> MakeObject(Args&&...);

  Ref<ICmLock> FLock;  // the network's property lock (shared), or none
  Real FInfluenceField;
  Real FCategory;
  Real FLastDistance = 0;
  Ref<IBfRealBuffer> FValues;
};

// The neurons of a network in the order of their creation. Owned by the
// network. Every single access is made under the container's own lock.
//
// Packed prototypes: beside every neuron the container keeps a record of its
// prototype, and for a prototype that holds only values k/256 (k an integer
// 0..255, as the face features are) a copy of it as bytes k, which the exact
// byte kernel reads instead of the Reals (an eighth of the memory).
// - Cost: per neuron one record (40 bytes), 2 bytes of scratch for Compare
//   and, for a byte-valued prototype, one byte per item rounded up to 64
//   (1 KiB for a 1024-item face feature, beside the prototype's own 8 KiB). The lane kernels interleave the
//   prototypes in registers from their own storage and need no copy.
// - Kept up to date by Add (packs the new neuron's prototype), Clear (drops
//   everything) and RepackPrototypes. Influence fields are not packed:
//   shrinking a neuron needs nothing.
// - Invalidated by writing into a prototype after its neuron was added
//   (Write, Modify, SetItem, Resize or any other write on GetValues): the
//   byte kernel reads the packed bytes and the packed size only, without
//   touching the prototype's buffer (at 20 000 neurons that keeps the step
//   at the speed of reading the bytes), so whoever writes into a prototype
//   calls RepackPrototypes afterwards. The network itself never writes into
//   prototypes. Prototypes that are not byte-valued are always read from
//   their current storage; one whose storage has moved or resized since it
//   was packed is packed again by Compare.
class TNrRadialBasisFunctionNeurons : public TObject {
 public:
  int32_t Count() const;
  // The neuron at AIndex (0 to Count - 1); ERangeError "Index out of range = %d"
  // otherwise. The handle keeps the neuron alive even if the container is
  // cleared meanwhile.
  Ref<TNrRadialBasisFunctionNeuron> Items(int32_t AIndex) const;
  // Appends ANeuron and packs its prototype. An empty handle is refused with
  // ENrClassifierError (the container holds neurons only).
  void Add(const Ref<INrRadialBasisFunctionNeuron>& ANeuron);
  void Clear();

  // The distance step of Train and Predict, in one hold of the container's
  // lock: computes the distance from AFeatures to every neuron (stored as the
  // neuron's LastDistance) with the kernel of NrGetDistanceSettings, on up to
  // its number of threads, and appends the neurons that cover AFeatures, in
  // neuron order, to ACovering. Other threads' accesses to the container wait
  // for the step to end.
  void Compare(IBfRealBuffer& AFeatures, std::vector<Ref<TNrRadialBasisFunctionNeuron>>& ACovering);
  // Packs every prototype again from its current values.
  void RepackPrototypes();

 private:
  // 64 bytes, aligned for the byte kernel's loads.
  struct alignas(64) TByteBlock {
    uint8_t Bytes[64];
  };
  // The packed form of one neuron's prototype.
  struct TPrototype {
    TNrRadialBasisFunctionNeuron* Neuron;  // held by the FList entry at the same index
    IBfRealBuffer* Values;                 // the neuron's prototype buffer (fixed for its life)
    const Real* Data;                      // the prototype's storage when packed
    uint32_t Size;                         // its count [items] when packed
    bool Bytes;                            // byte-valued: its bytes are in FBytes
    size_t ByteBlock;                      // first block in FBytes
  };
  void Pack(TPrototype& APrototype);
  // Distances of the neurons AFirst .. ALast-1 (FLock held by the caller).
  void CompareRange(size_t AFirst, size_t ALast, const Real* ASample, uint32_t ASampleSize, uint32_t ABytePrefix,
                    const TNrDistanceSettings& ASettings);

  mutable std::mutex FLock;  // guards everything below
  std::vector<Ref<INrRadialBasisFunctionNeuron>> FList;
  std::vector<TPrototype> FPrototypes;  // one per FList entry, same order
  std::vector<TByteBlock> FBytes;       // the bytes of the byte-valued prototypes
  // Scratch of Compare: the sample as bytes, 1 for a covering neuron and 1
  // for a prototype to pack again (each thread writes its own range).
  std::vector<TByteBlock> FSampleBytes;
  std::vector<uint8_t> FCovers;
  std::vector<uint8_t> FStale;
};

// One entry of a prediction result: a neuron and its distance from the
// predicted vector (copied when the entry was made).
class TNrRadialBasisFunctionNeuronResult : public TObject {
 public:
  TNrRadialBasisFunctionNeuronResult(const Ref<INrRadialBasisFunctionNeuron>& ANeuron, Real ADistance)
      : FNeuron(ANeuron), FDistance(ADistance) {}
  TNrRadialBasisFunctionNeuron* GetNeuron() const { return FNeuron->GetInstance(); }
  Real GetDistance() const { return FDistance; }

 private:
  Ref<INrRadialBasisFunctionNeuron> FNeuron;  // keeps the neuron alive
  Real FDistance;
};

// The result of one prediction: the covering neurons at the smallest
// distance, in neuron order; empty when no neuron covers the vector. The list
// owns its entries. A result is made, passed to OnResult and freed within one
// Predict: receivers must not keep it.
class TNrRadialBasisFunctionResult : public TObject {
 public:
  int32_t Count() const { return static_cast<int32_t>(FList.size()); }
  // The entry at AIndex; ERangeError "Index out of range = %d" otherwise.
  TNrRadialBasisFunctionNeuronResult* Items(int32_t AIndex) const;

  void Add(const Ref<INrRadialBasisFunctionNeuron>& ANeuron, Real ADistance);
  void Clear() { FList.clear(); }

 private:
  std::vector<std::unique_ptr<TNrRadialBasisFunctionNeuronResult>> FList;
};

// Background category settings: when enabled, samples of Category never
// become neurons (they still shrink covering neurons of other categories).
// Published: Enabled (default false) and Category; a Category of 0 is stored
// in the settings' "_Floats" list.
class TNrRadialBasisFunctionBackground : public TCmOptionalDisabledPersistent {
 public:
  // Settings of a network: AOwner's, sharing the framework lock of ALock.
  TNrRadialBasisFunctionBackground(TPersistent* AOwner, const Ref<IFlLock>& ALock)
      : TCmOptionalDisabledPersistent(AOwner, ALock) {}
  // Settings on their own (to hand to SetBackground), with a lock of their own.
  TNrRadialBasisFunctionBackground() : TCmOptionalDisabledPersistent(nullptr, Ref<IFlLock>(TCmLock::Create())) {}

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassType() const override { return StaticClass(); }

  Real GetCategory() const { return FLock->Getter(FCategory); }
  // Through the lock's Real setter, without an update function.
  void SetCategory(Real AValue) { FLock->Setter(FCategory, AValue, {}); }

  using TCmOptionalDisabledPersistent::Assign;
  // Copies the settings of ASource (its published properties).
  void Assign(const TNrRadialBasisFunctionBackground& ASource) { Assign(&ASource); }

  // True when samples of ACategory are kept from becoming neurons.
  bool Excludes(Real ACategory) const { return FEnabled && ACategory == FCategory; }

 private:
  Real FCategory = 0;
};

class TNrRadialBasisFunctionNetwork;

// Runs once during every Predict, with the network (ASender), the predicted
// vector (AFeatures) and the result (AResult, valid only during the call). A
// stored layout binds it to a published method of its root by name.
using TNrRadialBasisFunctionResultEvent =
    TEvent<TObject*, const Ref<IBfRealBuffer>&, TNrRadialBasisFunctionResult*>;

class TNrRadialBasisFunctionNetwork : public TCmComponent {
 public:
  explicit TNrRadialBasisFunctionNetwork(TComponent* AOwner = nullptr);
  ~TNrRadialBasisFunctionNetwork() override;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassType() const override { return StaticClass(); }

  // Removes all neurons.
  void Clear();
  // Learns one sample.
  void Train(const Ref<IBfRealBuffer>& ATraingFeatures, Real ACategory);
  // Learns a batch: with AUpdate false all neurons are removed first; then
  // sample i (feature buffer i of the array, category item i of AResposes)
  // is learnt as by the single-sample Train, for i below the smaller of the
  // array's count and the categories' count. Empty handles are refused
  // before anything changes.
  void Train(const Ref<IBfRealBufferArray>& ATraingFeatures, const Ref<IBfRealBuffer>& AResposes, bool AUpdate);
  // Finds the covering neurons at the smallest distance and runs OnResult
  // with them (also when there are none).
  void Predict(const Ref<IBfRealBuffer>& AFeatures);

  // Influence field of a neuron made for a sample that no neuron covers, and
  // the starting value of the search for the smallest conflicting distance.
  // The two limits are written through the lock's Real setter, without an
  // update function and without a range check; they are read under the
  // read section, so another thread's write is never seen half done. NaN,
  // with which no distance would ever be covered or compared, raises
  // ERangeError naming the limit.
  Real GetMaxInfluenceField() const { return FLock->Getter(FMaxInfluenceField); }
  void SetMaxInfluenceField(Real AValue);
  // Lower limit of the field of a neuron made after a conflict.
  Real GetMinInfluenceField() const { return FLock->Getter(FMinInfluenceField); }
  void SetMinInfluenceField(Real AValue);

  TNrRadialBasisFunctionBackground* GetBackground() const { return FBackground.get(); }
  // Copies the settings of AValue into the owned background object.
  void SetBackground(const TNrRadialBasisFunctionBackground& AValue) { FBackground->Assign(AValue); }
  void SetBackground(TNrRadialBasisFunctionBackground* AValue) { FBackground->Assign(AValue); }

  // A copy taken under the read section: a reference would let the caller
  // read the callback while another thread replaces it.
  TNrRadialBasisFunctionResultEvent GetOnResult() const;
  // Replaces the callback while holding the network's write section.
  void SetOnResult(const TNrRadialBasisFunctionResultEvent& AValue);

  TNrRadialBasisFunctionNeurons* GetNeurons() const { return FNeurons.get(); }

 private:
  void AddNeuron(const Ref<IBfRealBuffer>& AValues, Real ACategory, Real AInfluenceField);

  Real FMaxInfluenceField = 4000;
  Real FMinInfluenceField = 2;
  std::unique_ptr<TNrRadialBasisFunctionBackground> FBackground;
  TNrRadialBasisFunctionResultEvent FOnResult;
  std::unique_ptr<TNrRadialBasisFunctionNeurons> FNeurons;
};
