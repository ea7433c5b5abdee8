// Stored components: the record form, the ordinary storing (defaults, zero
// reals, sub-objects, collections, references, events, defined properties),
// the reader creating owned components by class name, and damaged streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "component/CmFiler.h"
#include "component/tests/StreamBytes.h"

namespace {

using Bytes = std::vector<uint8_t>;

enum class TTestMode { tmOne, tmTwo, tmThree };
enum TTestOption : uint32_t { toBold = 1, toItalic = 2, toUnderline = 4 };

const TTypeInfo& TestModeType() {
  static const TTypeInfo& t = MakeEnumTypeInfo("TTestMode", {"tmOne", "tmTwo", "tmThree"});
  return t;
}
const TTypeInfo& TestOptionsType() {
  static const TTypeInfo& t = MakeSetTypeInfo("TTestOptions", MakeEnumTypeInfo("TTestOption", {"toBold", "toItalic", "toUnderline"}));
  return t;
}

// A sub-object stored with dotted names.
class TTestFont : public TPersistent {
 public:
  static const TClassInfo& StaticClass() {
    static const TClassInfo info = TClassBuilder<TTestFont>("TTestFont", &TPersistent::StaticClass())
                                       .Integer("Height", &TTestFont::GetHeight, &TTestFont::SetHeight)
                                       .Default(11)
                                       .String("Name", &TTestFont::GetName, &TTestFont::SetName)
                                       .Float("Size", &TTestFont::GetSize, &TTestFont::SetSize)
                                       .Build();
    return info;
  }
  const TClassInfo& ClassType() const override { return StaticClass(); }
  int32_t GetHeight() const { return FHeight; }
  void SetHeight(int32_t AValue) { FHeight = AValue; }
  const std::string& GetName() const { return FName; }
  void SetName(const std::string& AValue) { FName = AValue; }
  double GetSize() const { return FSize; }
  void SetSize(double AValue) { FSize = AValue; }

 private:
  int32_t FHeight = 11;
  std::string FName;
  double FSize = 0;
};

class TTestItem : public TCollectionItem {
 public:
  explicit TTestItem(TCollection* ACollection) : TCollectionItem(ACollection) {}
  static const TClassInfo& StaticClass() {
    static const TClassInfo info = TClassBuilder<TTestItem>("TTestItem", &TCollectionItem::StaticClass())
                                       .Integer("Value", &TTestItem::GetValue, &TTestItem::SetValue)
                                       .String("Caption", &TTestItem::GetCaption, &TTestItem::SetCaption)
                                       .Build();
    return info;
  }
  const TClassInfo& ClassType() const override { return StaticClass(); }
  int32_t GetValue() const { return FValue; }
  void SetValue(int32_t AValue) { FValue = AValue; }
  const std::string& GetCaption() const { return FCaption; }
  void SetCaption(const std::string& AValue) { FCaption = AValue; }

 private:
  int32_t FValue = 0;
  std::string FCaption;
};

// A component with a property of every kind and two defined properties.
class TTestThing : public TComponent {
 public:
  explicit TTestThing(TComponent* AOwner)
      : TComponent(AOwner), FItems(this, [](TCollection* c) -> TCollectionItem* { return new TTestItem(c); }) {
    ++Live();
  }
  ~TTestThing() override { --Live(); }
  // The things that exist, to see that a failed read frees what it made.
  static int& Live() {
    static int live = 0;
    return live;
  }
  // The name of the thing whose Loaded raises ("" for none).
  static std::string& FailLoadedOf() {
    static std::string name;
    return name;
  }

  static const TClassInfo& StaticClass() {
    static const TClassInfo info =
        TClassBuilder<TTestThing>("TTestThing", &TComponent::StaticClass())
            .Integer("Count", &TTestThing::FCount, &TTestThing::SetCount)
            .Default(0)
            .Integer("Small", &TTestThing::FSmall, &TTestThing::SetSmall, TypeInfoSmallInt())
            .Default(0)
            .Integer("Card", &TTestThing::FCard, &TTestThing::SetCard, TypeInfoCardinal())
            .Default(0)
            .Int64("Big", &TTestThing::FBig, &TTestThing::SetBig)
            .Default(0)
            .Boolean("Flag", &TTestThing::FFlag, &TTestThing::SetFlag)
            .Default(0)
            .Enumeration("Mode", TestModeType(), &TTestThing::FMode, &TTestThing::SetMode)
            .Default(0)
            .Set("Options", TestOptionsType(), &TTestThing::FOptions, &TTestThing::SetOptions)
            .Default(0)
            .Float("Ratio", &TTestThing::FRatio, &TTestThing::SetRatio)
            .Float("Weight", &TTestThing::FWeight, &TTestThing::SetWeight, TypeInfoSingle())
            .Float("When", &TTestThing::FWhen, &TTestThing::SetWhen, TypeInfoDateTime())
            .Float("Price", &TTestThing::FPrice, &TTestThing::SetPrice, TypeInfoCurrency())
            .String("Caption", &TTestThing::FCaption, &TTestThing::SetCaption)
            .Class("Font", TTestFont::StaticClass(), &TTestThing::GetFont, nullptr)
            .Class("Items", TCollection::StaticClass(), &TTestThing::GetItems, nullptr)
            .Class("Buddy", TComponent::StaticClass(), &TTestThing::FBuddy, &TTestThing::SetBuddy)
            .Event("OnPing", &TTestThing::FOnPing, &TTestThing::SetOnPing)
            .Integer("Hidden", &TTestThing::FHidden, &TTestThing::SetHidden)
            .Stored(false)
            .Creates()
            .Build();
    return info;
  }
  const TClassInfo& ClassType() const override { return StaticClass(); }

  void SetCount(int32_t AValue) {
    FCount = AValue;
    FLoadingSeen = FLoadingSeen || IsLoadingInChain();
  }
  void SetSmall(int16_t AValue) { FSmall = AValue; }
  void SetCard(uint32_t AValue) { FCard = AValue; }
  void SetBig(int64_t AValue) { FBig = AValue; }
  void SetFlag(bool AValue) { FFlag = AValue; }
  void SetMode(TTestMode AValue) { FMode = AValue; }
  void SetOptions(uint32_t AValue) { FOptions = AValue; }
  void SetRatio(double AValue) { FRatio = AValue; }
  void SetWeight(float AValue) { FWeight = AValue; }
  void SetWhen(double AValue) { FWhen = AValue; }
  void SetPrice(double AValue) { FPrice = AValue; }
  void SetCaption(const std::string& AValue) { FCaption = AValue; }
  TTestFont* GetFont() { return &FFont; }
  TCollection* GetItems() { return &FItems; }
  void SetBuddy(TComponent* AValue) { FBuddy = AValue; }
  void SetOnPing(const TNotifyEvent& AValue) { FOnPing = AValue; }
  void SetHidden(int32_t AValue) { FHidden = AValue; }

  void Loaded() override {
    TComponent::Loaded();
    LoadedOrder().push_back(GetName());
    if (!FailLoadedOf().empty() && GetName() == FailLoadedOf())
      throw EComponentError("the layout has no partner for " + GetName());
  }
  static std::vector<std::string>& LoadedOrder() {
    static std::vector<std::string> order;
    return order;
  }

  int32_t FCount = 0;
  int16_t FSmall = 0;
  uint32_t FCard = 0;
  int64_t FBig = 0;
  bool FFlag = false;
  TTestMode FMode = TTestMode::tmOne;
  uint32_t FOptions = 0;
  double FRatio = 0;
  float FWeight = 0;
  double FWhen = 0;
  double FPrice = 0;
  std::string FCaption;
  TTestFont FFont;
  TCollection FItems;
  TComponent* FBuddy = nullptr;
  TNotifyEvent FOnPing;
  int32_t FHidden = 0;
  bool FLoadingSeen = false;
  std::vector<int32_t> FNumbers;  // defined property "Numbers"
  Bytes FBlob;                    // defined binary property "Blob"

 protected:
  void DefineProperties(TFiler* AFiler) override {
    TComponent::DefineProperties(AFiler);
    AFiler->DefineProperty(
        "Numbers",
        [this](TReader& r) {
          FNumbers.clear();
          r.ReadListBegin();
          while (!r.EndOfList()) FNumbers.push_back(r.ReadInteger());
          r.ReadListEnd();
        },
        [this](TWriter& w) {
          w.WriteListBegin();
          for (int32_t n : FNumbers) w.WriteInteger(n);
          w.WriteListEnd();
        },
        !FNumbers.empty());
    AFiler->DefineBinaryProperty(
        "Blob",
        [this](TStream& s) {
          FBlob.resize(static_cast<size_t>(s.GetSize()));
          s.ReadBuffer(FBlob.data(), static_cast<int64_t>(FBlob.size()));
        },
        [this](TStream& s) { s.WriteBuffer(FBlob.data(), static_cast<int64_t>(FBlob.size())); }, !FBlob.empty());
  }
};

// The root: owns the things and publishes the handler they bind to.
class TTestForm : public TComponent {
 public:
  explicit TTestForm(TComponent* AOwner) : TComponent(AOwner) {}
  static const TClassInfo& StaticClass() {
    static const TClassInfo info = TClassBuilder<TTestForm>("TTestForm", &TComponent::StaticClass())
                                       .String("Title", &TTestForm::FTitle, &TTestForm::SetTitle)
                                       .Method<TNotifyEvent>("HandlePing", &TTestForm::HandlePing)
                                       .Creates()
                                       .Build();
    return info;
  }
  const TClassInfo& ClassType() const override { return StaticClass(); }
  void SetTitle(const std::string& AValue) { FTitle = AValue; }
  void HandlePing(TObject* ASender) { Pinged.push_back(ASender); }

  std::string FTitle;
  std::vector<TObject*> Pinged;
};

class StoredComponent : public testing::Test {
 protected:
  void SetUp() override {
    RegisterClass(TTestForm::StaticClass());
    RegisterClass(TTestThing::StaticClass());
    TTestThing::LoadedOrder().clear();
    TTestThing::FailLoadedOf().clear();
  }
  void TearDown() override { TTestThing::FailLoadedOf().clear(); }

  // A form with two things, the second owning a third, every kind of
  // property set away from its default.
  static TTestForm* MakeForm() {
    auto* form = CreateComponent<TTestForm>(nullptr);
    form->SetName("Form1");
    form->SetTitle("Caf\xC3\xA9 demo");
    auto* a = CreateComponent<TTestThing>(form);
    a->SetName("ThingA");
    auto* b = CreateComponent<TTestThing>(form);
    b->SetName("ThingB");
    auto* c = CreateComponent<TTestThing>(b);
    c->SetName("ThingC");
    a->FCount = -129;
    a->FSmall = -300;
    a->FCard = 4000000000u;
    a->FBig = int64_t(1) << 40;
    a->FFlag = true;
    a->FMode = TTestMode::tmThree;
    a->FOptions = toBold | toUnderline;
    a->FRatio = 0.1;
    a->FWeight = 2.5f;
    a->FWhen = 45000.25;
    a->FPrice = 12.3456;
    a->FCaption = std::string(300, 'q');
    a->FFont.SetHeight(-13);
    a->FFont.SetName("Tahoma");
    a->FFont.SetSize(8.25);
    auto* i0 = static_cast<TTestItem*>(a->FItems.Add());
    i0->SetValue(5);
    i0->SetCaption("first");
    static_cast<TTestItem*>(a->FItems.Add())->SetValue(-7);
    a->FBuddy = c;  // a component read after this one
    a->FOnPing = form->ClassType().FindMethod("HandlePing")->Bind(form).has_value()
                     ? std::any_cast<TNotifyEvent>(form->ClassType().FindMethod("HandlePing")->Bind(form))
                     : TNotifyEvent();
    a->FHidden = 99;
    a->FNumbers = {1, 300, -70000};
    a->FBlob = {0xDE, 0xAD};
    a->SetDesignInfo(96, 40);
    b->FCount = 3;
    c->FRatio = -2;
    return form;
  }

  static Bytes Store(TComponent* AComponent) {
    TMemoryStream s;
    WriteComponentToStream(s, AComponent);
    return s.Data();
  }
};

bool Contains(const Bytes& AHay, const std::string& ANeedle) {
  return std::search(AHay.begin(), AHay.end(), ANeedle.begin(), ANeedle.end()) != AHay.end();
}

TEST_F(StoredComponent, RecordFormOfAnEmptyComponent) {
  std::unique_ptr<TTestThing> thing(CreateComponent<TTestThing>(nullptr));
  thing->SetName("T1");
  Bytes want = {'T', 'P', 'F', '0', 10};
  for (char ch : std::string("TTestThing")) want.push_back(uint8_t(ch));
  want.push_back(2);
  want.push_back('T');
  want.push_back('1');
  want.push_back(0);  // no properties: every one is at its default, zero or empty
  want.push_back(0);  // no owned components
  EXPECT_EQ(Store(thing.get()), want);
}

TEST_F(StoredComponent, OrdinaryStoringSkipsDefaultsZeroRealsAndUnstored) {
  std::unique_ptr<TTestForm> form(MakeForm());
  const Bytes stored = Store(form.get());
  EXPECT_FALSE(Contains(stored, "Hidden")) << "a property declared as never stored";
  EXPECT_FALSE(Contains(stored, "\x04Name")) << "the name travels as the record's component name";
  EXPECT_TRUE(Contains(stored, "\x0B" "Font.Height"));
  EXPECT_TRUE(Contains(stored, "\x09" "Font.Size"));
  // ThingB has Count 3 only; its Ratio 0 is not stored, ThingC's -2 is.
  auto* b = static_cast<TTestThing*>(form->FindComponent("ThingB"));
  b->FFont.SetHeight(11);
  const Bytes bOnly = [&] {
    TMemoryStream s;
    TWriter w(s);
    w.SetRoot(form.get());
    w.WriteProperties(b);
    return s.Data();
  }();
  EXPECT_EQ(bOnly, (Bytes{5, 'C', 'o', 'u', 'n', 't', 0x02, 0x03}));
}

TEST_F(StoredComponent, EverythingReadsBackIntoANewTree) {
  std::unique_ptr<TTestForm> form(MakeForm());
  const Bytes stored = Store(form.get());
  TMemoryStream in(stored);
  std::unique_ptr<TComponent> readRoot(ReadComponentFromStream(in));
  auto* copy = dynamic_cast<TTestForm*>(readRoot.get());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(in.Remaining(), 0);
  EXPECT_EQ(copy->GetName(), "Form1");
  EXPECT_EQ(copy->FTitle, "Caf\xC3\xA9 demo");
  ASSERT_EQ(copy->ComponentCount(), 2);
  auto* a = dynamic_cast<TTestThing*>(copy->FindComponent("ThingA"));
  auto* b = dynamic_cast<TTestThing*>(copy->FindComponent("ThingB"));
  ASSERT_TRUE(a && b);
  auto* c = dynamic_cast<TTestThing*>(b->FindComponent("ThingC"));
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(a->FCount, -129);
  EXPECT_EQ(a->FSmall, -300);
  EXPECT_EQ(a->FCard, 4000000000u);
  EXPECT_EQ(a->FBig, int64_t(1) << 40);
  EXPECT_TRUE(a->FFlag);
  EXPECT_EQ(a->FMode, TTestMode::tmThree);
  EXPECT_EQ(a->FOptions, uint32_t(toBold | toUnderline));
  EXPECT_EQ(a->FRatio, 0.1);
  EXPECT_EQ(a->FWeight, 2.5f);
  EXPECT_EQ(a->FWhen, 45000.25);
  EXPECT_DOUBLE_EQ(a->FPrice, 12.3456);
  EXPECT_EQ(a->FCaption, std::string(300, 'q'));
  EXPECT_EQ(a->FFont.GetHeight(), -13);
  EXPECT_EQ(a->FFont.GetName(), "Tahoma");
  EXPECT_EQ(a->FFont.GetSize(), 8.25);
  ASSERT_EQ(a->FItems.Count(), 2);
  EXPECT_EQ(static_cast<TTestItem*>(a->FItems.Items(0))->GetValue(), 5);
  EXPECT_EQ(static_cast<TTestItem*>(a->FItems.Items(0))->GetCaption(), "first");
  EXPECT_EQ(static_cast<TTestItem*>(a->FItems.Items(1))->GetValue(), -7);
  EXPECT_EQ(a->FBuddy, c) << "a reference to a component stored later is linked at the end";
  ASSERT_TRUE(a->FOnPing);
  a->FOnPing(a);
  ASSERT_EQ(copy->Pinged.size(), 1u) << "the event is bound to the new root's published method";
  EXPECT_EQ(copy->Pinged[0], a);
  EXPECT_EQ(a->FHidden, 0);
  EXPECT_EQ(a->FNumbers, (std::vector<int32_t>{1, 300, -70000}));
  EXPECT_EQ(a->FBlob, (Bytes{0xDE, 0xAD}));
  EXPECT_EQ(a->GetDesignLeft(), 96);
  EXPECT_EQ(a->GetDesignTop(), 40);
  EXPECT_EQ(b->FCount, 3);
  EXPECT_EQ(c->FRatio, -2);
  // Loading: properties are set while the component is loading, Loaded
  // runs once everything is read, in the order read, and ends loading.
  EXPECT_TRUE(a->FLoadingSeen);
  EXPECT_EQ(TTestThing::LoadedOrder(), (std::vector<std::string>{"ThingA", "ThingB", "ThingC"}));
  EXPECT_FALSE(a->HasState(TComponentStateFlag::csLoading));
  EXPECT_FALSE(copy->HasState(TComponentStateFlag::csLoading));
  // And the copy stores to the same bytes.
  EXPECT_EQ(Store(copy), stored);
}

TEST_F(StoredComponent, ReadingIntoAnExistingRootReusesOwnedComponentsByName) {
  std::unique_ptr<TTestForm> form(MakeForm());
  const Bytes stored = Store(form.get());
  std::unique_ptr<TTestForm> target(CreateComponent<TTestForm>(nullptr));
  auto* existing = CreateComponent<TTestThing>(target.get());
  existing->SetName("ThingA");
  TMemoryStream in(stored);
  EXPECT_EQ(ReadComponentFromStream(in, target.get()), target.get());
  EXPECT_EQ(target->FindComponent("ThingA"), existing);
  EXPECT_EQ(existing->FCount, -129);
  EXPECT_EQ(target->ComponentCount(), 2);
}

TEST_F(StoredComponent, RecordPrefixesAreReadOver) {
  // Flags byte F2 carries a child position, F1 none.
  auto str = [](const std::string& AText) {
    // Sized first and then filled: GCC 12 at -O3 mistakes growing a one-byte
    // vector by insert for a copy out of bounds.
    Bytes b(AText.size() + 1);
    b[0] = uint8_t(AText.size());
    std::copy(AText.begin(), AText.end(), b.begin() + 1);
    return b;
  };
  Bytes layout{'T', 'P', 'F', '0', 0xF1};
  for (const Bytes& part : {str("TTestForm"), str("Form1"), Bytes{0x00}, Bytes{0xF2, 0x02, 0x00}, str("TTestThing"),
                            str("T1"), str("Count"), Bytes{0x02, 0x05, 0x00, 0x00, 0x00}})
    layout.insert(layout.end(), part.begin(), part.end());
  TMemoryStream in(layout);
  std::unique_ptr<TComponent> root(ReadComponentFromStream(in));
  auto* t1 = dynamic_cast<TTestThing*>(root->FindComponent("T1"));
  ASSERT_NE(t1, nullptr);
  EXPECT_EQ(t1->FCount, 5);
  EXPECT_EQ(in.Remaining(), 0);
}

TEST_F(StoredComponent, DottedNamesReachOnlyOwnedSubObjects) {
  std::unique_ptr<TTestForm> form(MakeForm());
  auto* a = static_cast<TTestThing*>(form->FindComponent("ThingA"));
  auto* c = static_cast<TTestThing*>(form->FindComponent("ThingB")->FindComponent("ThingC"));
  auto readOne = [&](const std::string& AName, uint8_t AValue) {
    Bytes b{uint8_t(AName.size())};
    b.insert(b.end(), AName.begin(), AName.end());
    b.push_back(0x02);
    b.push_back(AValue);
    TMemoryStream s(b);
    TReader r(s);
    r.SetRoot(form.get());
    r.ReadProperty(a);
  };
  readOne("Font.Height", 7);
  EXPECT_EQ(a->FFont.GetHeight(), 7);
  EXPECT_THROW(readOne("Buddy.Count", 5), EReadError) << "Buddy refers to another component";
  EXPECT_EQ(c->FCount, 0);
  EXPECT_THROW(readOne("Caption.Count", 5), EReadError) << "a text has no properties";
}

struct TBadLayoutCase {
  const char* Name;
  std::function<Bytes(const Bytes&)> Damage;
  const char* LeadingText;
};

void PrintTo(const TBadLayoutCase& ACase, std::ostream* AOut) { *AOut << ACase.Name; }

Bytes Replace(Bytes AData, const std::string& AFrom, const std::string& ATo) {
  auto it = std::search(AData.begin(), AData.end(), AFrom.begin(), AFrom.end());
  if (it == AData.end()) {
    ADD_FAILURE() << "the layout holds no \"" << AFrom << "\"";
    return AData;
  }
  std::copy(ATo.begin(), ATo.end(), it);
  return AData;
}

class StoredComponentRejects : public StoredComponent, public testing::WithParamInterface<TBadLayoutCase> {};

TEST_P(StoredComponentRejects, WithTheReadersErrorAndFreesWhatItMade) {
  std::unique_ptr<TTestForm> form(MakeForm());
  const Bytes stored = GetParam().Damage(Store(form.get()));
  TMemoryStream in(stored);
  const int64_t live = TInterfacedObject::LiveInstances();
  try {
    std::unique_ptr<TComponent> root(ReadComponentFromStream(in));
    FAIL() << "accepted";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message().rfind(GetParam().LeadingText, 0), 0u) << e.Message();
  }
  EXPECT_EQ(TInterfacedObject::LiveInstances(), live);
}

INSTANTIATE_TEST_SUITE_P(
    Damaged, StoredComponentRejects,
    testing::Values(
        TBadLayoutCase{"UnknownProperty", [](const Bytes& b) { return Replace(b, "\x05" "Count", "\x05" "Cound"); },
                       "Invalid property value"},
        TBadLayoutCase{"UnregisteredClass", [](const Bytes& b) { return Replace(b, "TTestThing", "TTestThong"); },
                       "Invalid stream format"},
        TBadLayoutCase{"UnknownEnumValue", [](const Bytes& b) { return Replace(b, "tmThree", "tmThrea"); },
                       "Invalid property value"},
        TBadLayoutCase{"UnknownHandler", [](const Bytes& b) { return Replace(b, "HandlePing", "HandlePong"); },
                       "Invalid property value"},
        TBadLayoutCase{"UnknownReference", [](const Bytes& b) { return Replace(b, "ThingB.ThingC", "ThingB.ThingX"); },
                       "Invalid property value"},
        TBadLayoutCase{"InvalidComponentName", [](const Bytes& b) { return Replace(b, "\x06ThingB", "\x06Thing-"); },
                       "Invalid property value"},
        TBadLayoutCase{"DuplicateComponentName", [](const Bytes& b) { return Replace(b, "\x06ThingB", "\x06ThingA"); },
                       "Invalid property value"},
        TBadLayoutCase{"WrongSignature", [](const Bytes& b) { return Replace(b, "TPF0", "TPF9"); },
                       "Invalid stream format"},
        TBadLayoutCase{"ByteAfterTheEnd", [](const Bytes& b) { return Cat({b, {0x00}}); }, "Invalid stream format"}),
    [](const testing::TestParamInfo<TBadLayoutCase>& AInfo) { return std::string(AInfo.param.Name); });

TEST_F(StoredComponent, BytesAfterTheLayoutAreNamedByTheirOffset) {
  std::unique_ptr<TTestForm> form(MakeForm());
  const Bytes stored = Store(form.get());
  TMemoryStream in(Cat({stored, {0x54, 0x50, 0x46}}));
  try {
    std::unique_ptr<TComponent> root(ReadComponentFromStream(in));
    FAIL() << "accepted";
  } catch (const EReadError& e) {
    EXPECT_NE(e.Message().find(Format("3 bytes after the end of TTestForm, at offset %zu", stored.size())),
              std::string::npos)
        << e.Message();
  }
  // The reader on its own may stop behind the record: a stream can hold more.
  TMemoryStream two(Cat({stored, stored}));
  TReader reader(two);
  std::unique_ptr<TComponent> first(reader.ReadRootComponent());
  EXPECT_EQ(two.GetPosition(), static_cast<int64_t>(stored.size()));
}

// A read that fails, on bad data, on a reference that leads nowhere or in a
// Loaded, frees every component it made (a new root too) and leaves the
// components it read into unflagged; a root read into keeps only the
// components it had.
struct TFailedReadCase {
  const char* Name;
  std::function<Bytes(const Bytes&)> Damage;
  const char* FailLoadedOf;
  bool IntoExistingRoot;
};

void PrintTo(const TFailedReadCase& ACase, std::ostream* AOut) { *AOut << ACase.Name; }

class StoredComponentFailedRead : public StoredComponent, public testing::WithParamInterface<TFailedReadCase> {};

bool Flagged(TComponent* AComponent) {
  return AComponent->HasState(TComponentStateFlag::csLoading) || AComponent->HasState(TComponentStateFlag::csReading);
}

TEST_P(StoredComponentFailedRead, FreesWhatItMadeAndUnflagsTheRest) {
  const TFailedReadCase& c = GetParam();
  Bytes stored;
  {
    std::unique_ptr<TTestForm> form(MakeForm());
    stored = c.Damage(Store(form.get()));
  }
  ASSERT_EQ(TTestThing::Live(), 0);
  TTestThing::FailLoadedOf() = c.FailLoadedOf;
  std::unique_ptr<TTestForm> target;
  TTestThing* existing = nullptr;
  if (c.IntoExistingRoot) {
    target.reset(CreateComponent<TTestForm>(nullptr));
    target->SetName("Form1");
    existing = CreateComponent<TTestThing>(target.get());
    existing->SetName("ThingA");  // read into, not made
  }
  TMemoryStream in(stored);
  EXPECT_THROW(ReadComponentFromStream(in, target.get()), Exception);
  if (c.IntoExistingRoot) {
    EXPECT_EQ(TTestThing::Live(), 1) << "the things the read made are freed";
    ASSERT_EQ(target->ComponentCount(), 1);
    EXPECT_EQ(target->Components(0), existing);
    EXPECT_FALSE(Flagged(target.get()));
    EXPECT_FALSE(Flagged(existing));
  } else {
    EXPECT_EQ(TTestThing::Live(), 0) << "the new root and everything it owns are freed";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, StoredComponentFailedRead,
    testing::Values(
        TFailedReadCase{"FirstLoadedRaises", [](const Bytes& b) { return b; }, "ThingA", false},
        TFailedReadCase{"LastLoadedRaises", [](const Bytes& b) { return b; }, "ThingC", false},
        TFailedReadCase{"LoadedRaisesInAnExistingRoot", [](const Bytes& b) { return b; }, "ThingC", true},
        TFailedReadCase{"DanglingReferenceInAnExistingRoot",
                        [](const Bytes& b) { return Replace(b, "ThingB.ThingC", "ThingB.ThingX"); }, "", true},
        TFailedReadCase{"BadDataInAnExistingRoot", [](const Bytes& b) { return Replace(b, "tmThree", "tmThrea"); }, "",
                        true},
        TFailedReadCase{"BytesAfterTheEndInAnExistingRoot", [](const Bytes& b) { return Cat({b, {0x00}}); }, "",
                        true}),
    [](const testing::TestParamInfo<TFailedReadCase>& AInfo) { return std::string(AInfo.param.Name); });

// Every cut of a stored layout fails with the reader's error; run under
// AddressSanitizer this also shows that nothing is read past the end.
TEST_F(StoredComponent, EveryTruncationFailsWithTheReadersError) {
  std::unique_ptr<TTestForm> form(MakeForm());
  const Bytes stored = Store(form.get());
  for (size_t n = 0; n < stored.size(); ++n) {
    TMemoryStream in(Bytes(stored.begin(), stored.begin() + static_cast<std::ptrdiff_t>(n)));
    // Exact-size storage, so that ASan sees any read beyond it.
    in.Data().shrink_to_fit();
    EXPECT_THROW(std::unique_ptr<TComponent>(ReadComponentFromStream(in)), EReadError) << "cut at " << n;
  }
}

// Every byte replaced by a few telling values: the reader either reads a
// layout or fails with the reader's error; it never crashes or hangs.
TEST_F(StoredComponent, CorruptedBytesNeverCrashTheReader) {
  std::unique_ptr<TTestForm> form(MakeForm());
  const Bytes stored = Store(form.get());
  int failures = 0;
  for (size_t i = 0; i < stored.size(); ++i) {
    for (uint8_t v : {uint8_t(0x00), uint8_t(0x01), uint8_t(0x0E), uint8_t(0xFF), uint8_t(stored[i] ^ 0x80)}) {
      if (v == stored[i]) continue;
      Bytes damaged = stored;
      damaged[i] = v;
      TMemoryStream in(damaged);
      in.Data().shrink_to_fit();
      try {
        std::unique_ptr<TComponent> root(ReadComponentFromStream(in));
      } catch (const EReadError&) {
        ++failures;
      } catch (const std::exception& e) {
        ADD_FAILURE() << "byte " << i << " = " << int(v) << ": not the reader's error: " << e.what();
      }
    }
  }
  EXPECT_GT(failures, 0);
}

}  // namespace
