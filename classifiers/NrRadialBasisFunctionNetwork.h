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
// Threads: Train, Predict and Clear take no lock and write each neuron's
// scratch distance (LastDistance), so one network serves one thread at a
// time. Only the neuron container is safe for single accesses (Count, Items,
// Add, Clear) from several threads. Property writes hold the network's write
// section; OnResult is replaced under it and Predict copies it under the
// read section.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "buffers/BfSimpleDataBuffer.h"
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
class TNrRadialBasisFunctionNeurons : public TObject {
 public:
  int32_t Count() const;
  // The neuron at AIndex (0 to Count - 1); ERangeError "Index out of range = %d"
  // otherwise. The handle keeps the neuron alive even if the container is
  // cleared meanwhile.
  Ref<TNrRadialBasisFunctionNeuron> Items(int32_t AIndex) const;
  void Add(const Ref<INrRadialBasisFunctionNeuron>& ANeuron);
  void Clear();

 private:
  mutable std::mutex FLock;  // guards FList
  std::vector<Ref<INrRadialBasisFunctionNeuron>> FList;
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

  Real GetCategory() const { return FCategory; }
  // Through the lock's Real setter, without an update function.
  void SetCategory(Real AValue) { FLock->Setter(FCategory, AValue, {}); }

  using TCmOptionalDisabledPersistent::Assign;
  // Copies the settings of ASource (its published properties).
  void Assign(const TNrRadialBasisFunctionBackground& ASource) {
    // Reading the source's properties does not change it.
    Assign(const_cast<TNrRadialBasisFunctionBackground*>(&ASource));
  }

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
  // Finds the covering neurons at the smallest distance and runs OnResult
  // with them (also when there are none).
  void Predict(const Ref<IBfRealBuffer>& AFeatures);

  // Influence field of a neuron made for a sample that no neuron covers, and
  // the starting value of the search for the smallest conflicting distance.
  // The two limits are written through the lock's Real setter, without an
  // update function and without a range check. NaN, with which no distance
  // would ever be covered or compared, raises ERangeError naming the limit.
  Real GetMaxInfluenceField() const { return FMaxInfluenceField; }
  void SetMaxInfluenceField(Real AValue);
  // Lower limit of the field of a neuron made after a conflict.
  Real GetMinInfluenceField() const { return FMinInfluenceField; }
  void SetMinInfluenceField(Real AValue);

  TNrRadialBasisFunctionBackground* GetBackground() const { return FBackground.get(); }
  // Copies the settings of AValue into the owned background object.
  void SetBackground(const TNrRadialBasisFunctionBackground& AValue) { FBackground->Assign(AValue); }
  void SetBackground(TNrRadialBasisFunctionBackground* AValue) { FBackground->Assign(AValue); }

  const TNrRadialBasisFunctionResultEvent& GetOnResult() const { return FOnResult; }
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
