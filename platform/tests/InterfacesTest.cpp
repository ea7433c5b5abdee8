#include "platform/Interfaces.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/SysUtils.h"

namespace {

struct IShape : virtual IInterface {
  static constexpr TGUID IID = MakeGUID("{6C1B0F3A-2D4E-4B8A-9E21-0A7C3D5E9F10}");
  virtual int Corners() = 0;
};
struct IColoured : virtual IInterface {
  static constexpr TGUID IID = MakeGUID("{6C1B0F3A-2D4E-4B8A-9E21-0A7C3D5E9F11}");
  virtual int Colour() = 0;
};
// Extends IShape: a class implementing both must hold one IShape.
struct ISquare : virtual IShape {
  static constexpr TGUID IID = MakeGUID("{6C1B0F3A-2D4E-4B8A-9E21-0A7C3D5E9F12}");
  virtual int Side() = 0;
};
struct IUnrelated : virtual IInterface {
  static constexpr TGUID IID = MakeGUID("{6C1B0F3A-2D4E-4B8A-9E21-0A7C3D5E9F13}");
};

class TSquare : public TInterfacedObject, public virtual ISquare, public virtual IColoured {
 public:
  explicit TSquare(bool* ADestroyed = nullptr) : FDestroyed(ADestroyed) {}
  ~TSquare() override {
    if (FDestroyed) *FDestroyed = true;
  }
  int Corners() override { return 4; }
  int Side() override { return 3; }
  int Colour() override { return 7; }
  void AfterConstruction() override { FConstructed = true; }
  bool FConstructed = false;

 protected:
  void* FindInterface(const TGUID& AIID) noexcept override {
    if (void* p = InterfaceOf<IShape, ISquare, IColoured>(this, AIID)) return p;
    return TInterfacedObject::FindInterface(AIID);
  }

 private:
  bool* FDestroyed;
};

static_assert(!std::is_convertible_v<TSquare*, Ref<TSquare>>,
              "a raw pointer must never silently become a reference");
static_assert(std::is_convertible_v<Ref<TSquare>, Ref<IShape>>);
static_assert(!std::is_convertible_v<Ref<IShape>, Ref<ISquare>>,
              "going down the interface chain needs a query");

TEST(GuidTest, ParsesAllFields) {
  constexpr TGUID g = MakeGUID("{01234567-89AB-CDEF-0123-456789abcdef}");
  EXPECT_EQ(g.D1, 0x01234567u);
  EXPECT_EQ(g.D2, 0x89ABu);
  EXPECT_EQ(g.D3, 0xCDEFu);
  const uint8_t tail[8] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(g.D4[i], tail[i]) << "byte " << i;
  EXPECT_FALSE(g.IsNull());
  EXPECT_TRUE(TGUID{}.IsNull());
  EXPECT_NE(IShape::IID, IColoured::IID);
}

TEST(RefTest, LastReferenceDestroysTheObject) {
  bool destroyed = false;
  const int64_t live = TInterfacedObject::LiveInstances();
  {
    Ref<TSquare> a = MakeObject<TSquare>(&destroyed);
    EXPECT_TRUE(a->FConstructed);
    EXPECT_EQ(a->RefCount(), 1);
    Ref<IShape> b = a;  // a copy adds a reference
    EXPECT_EQ(a->RefCount(), 2);
    Ref<IShape> c = std::move(b);  // a move does not
    EXPECT_EQ(a->RefCount(), 2);
    EXPECT_FALSE(b);
    EXPECT_EQ(TInterfacedObject::LiveInstances(), live + 1);
  }
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(TInterfacedObject::LiveInstances(), live);
}

TEST(RefTest, QueryFindsEveryImplementedInterfaceAndNothingElse) {
  Ref<IShape> shape = MakeObject<TSquare>();
  Ref<ISquare> square = Supports<ISquare>(shape);
  ASSERT_TRUE(square);
  EXPECT_EQ(square->Side(), 3);
  Ref<IColoured> coloured = Supports<IColoured>(shape);
  ASSERT_TRUE(coloured);
  EXPECT_EQ(coloured->Colour(), 7);
  EXPECT_TRUE(Supports<IInterface>(coloured));
  EXPECT_FALSE(Supports<IUnrelated>(shape));
  EXPECT_THROW(QueryAs<IUnrelated>(shape), EIntfCastError);
  EXPECT_FALSE(Supports<IShape>(Ref<IColoured>()));
  // The failed queries added no reference.
  EXPECT_EQ(shape.Get()->_AddRef(), 4);
  shape.Get()->_Release();
}

TEST(RefTest, CountsStayExactUnderConcurrentCopies) {
  bool destroyed = false;
  Ref<IShape> shared = MakeObject<TSquare>(&destroyed);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([shared] {
      for (int i = 0; i < 10000; ++i) {
        Ref<IShape> local = shared;
        Ref<IColoured> other = Supports<IColoured>(local);
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_FALSE(destroyed);
  shared.Reset();
  EXPECT_TRUE(destroyed);
}

}  // namespace
