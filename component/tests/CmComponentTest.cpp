// The component foundation: readiness, change notifications and shared
// locks, the settings objects and their "_Floats" list, copying by published
// property, collection items, and the window timer.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "component/CmComponent.h"
#include "component/FlExtCollection.h"
#include "component/tests/StreamBytes.h"

namespace {


// Settings with reals whose names show the ordering rule, and a date that
// never goes into "_Floats".
class TTestSettings : public TCmOptionalDisabledPersistent {
 public:
  using TCmOptionalDisabledPersistent::TCmOptionalDisabledPersistent;
  static const TClassInfo& StaticClass() {
    static const TClassInfo info =
        TClassBuilder<TTestSettings>("TTestSettings", &TCmOptionalDisabledPersistent::StaticClass())
            .Float("Zeta", &TTestSettings::FZeta, &TTestSettings::SetZeta)
            .Float("Category", &TTestSettings::FCategory, &TTestSettings::SetCategory)
            .Float("alpha", &TTestSettings::FAlpha, &TTestSettings::SetAlpha)
            .Float("Cat", &TTestSettings::FCat, &TTestSettings::SetCat)
            .Float("Stamp", &TTestSettings::FStamp, &TTestSettings::SetStamp, TypeInfoDateTime())
            .Integer("Level", &TTestSettings::FLevel, &TTestSettings::SetLevel)
            .Default(0)
            .Build();
    return info;
  }
  const TClassInfo& ClassType() const override { return StaticClass(); }
  void SetZeta(double AValue) { FLock->Setter(FZeta, AValue, {}); }
  void SetCategory(double AValue) { FLock->Setter(FCategory, AValue, {}); }
  void SetAlpha(double AValue) { FLock->Setter(FAlpha, AValue, {}); }
  void SetCat(double AValue) { FLock->Setter(FCat, AValue, {}); }
  void SetStamp(double AValue) { FLock->Setter(FStamp, AValue, {}); }
  void SetLevel(int32_t AValue) { FLock->Setter(FLevel, AValue, {}); }
  void PropertiesChanged() override { ++Changes; }

  double FZeta = 1, FCategory = 1, FAlpha = 1, FCat = 1, FStamp = 0;
  int32_t FLevel = 0;
  int Changes = 0;
};

class TTestWidget : public TCmComponent {
 public:
  explicit TTestWidget(TComponent* AOwner) : TCmComponent(AOwner), FSettings(this, FLock) {}
  static const TClassInfo& StaticClass() {
    static const TClassInfo info = TClassBuilder<TTestWidget>("TTestWidget", &TCmComponent::StaticClass())
                                       .Float("Gain", &TTestWidget::FGain, &TTestWidget::SetGain)
                                       .Integer("Count", &TTestWidget::FCount, &TTestWidget::SetCount)
                                       .Default(0)
                                       .Class("Settings", TTestSettings::StaticClass(), &TTestWidget::GetSettings,
                                              &TTestWidget::SetSettings)
                                       .Event("OnPing", &TTestWidget::FOnPing, &TTestWidget::SetOnPing)
                                       .Creates()
                                       .Build();
    return info;
  }
  const TClassInfo& ClassType() const override { return StaticClass(); }
  void SetGain(double AValue) { FLock->Setter(FGain, AValue, {}); }
  void SetCount(int32_t AValue) { FLock->Setter(FCount, AValue, {}); }
  TTestSettings* GetSettings() { return &FSettings; }
  void SetSettings(TTestSettings* AValue) { FSettings.Assign(AValue); }
  void SetOnPing(const TNotifyEvent& AValue) {
    Ref<IFlLockSection> section = FLock->WriteLock();
    FOnPing = AValue;
  }
  void ComponentReady() override {
    ++Ready;
    CountWhenReady = FCount;
  }
  void PropertiesChanged() override { ++Changes; }

  double FGain = 0;
  int32_t FCount = 0;
  TTestSettings FSettings;
  TNotifyEvent FOnPing;
  int Ready = 0;
  int32_t CountWhenReady = -1;
  int Changes = 0;
};

// A widget without the Count property, to copy from.
class TOtherWidget : public TCmComponent {
 public:
  explicit TOtherWidget(TComponent* AOwner) : TCmComponent(AOwner) {}
  static const TClassInfo& StaticClass() {
    static const TClassInfo info = TClassBuilder<TOtherWidget>("TOtherWidget", &TCmComponent::StaticClass())
                                       .Float("Gain", &TOtherWidget::FGain, &TOtherWidget::SetGain)
                                       .Creates()
                                       .Build();
    return info;
  }
  const TClassInfo& ClassType() const override { return StaticClass(); }
  void SetGain(double AValue) { FGain = AValue; }
  double FGain = 0;
};

Bytes StoreSettingsOf(TTestWidget& AWidget) {
  TMemoryStream s;
  TWriter w(s);
  w.SetRoot(&AWidget);
  w.WriteProperties(&AWidget);
  return s.Data();
}



const Bytes kExtendedZero{0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

class ComponentFoundation : public testing::Test {
 protected:
  void SetUp() override { RegisterClass(TTestWidget::StaticClass()); }
};

// ---------------------------------------------------------------------------
// Readiness and notifications

TEST_F(ComponentFoundation, ReadyRightAfterConstructionInCode) {
  std::unique_ptr<TTestWidget> w(CreateComponent<TTestWidget>(nullptr));
  EXPECT_EQ(w->Ready, 1);
  w->Loaded();  // a later Loaded does not make it ready again
  EXPECT_EQ(w->Ready, 1);
}

TEST_F(ComponentFoundation, ReadyOnceLoadedWhenReadFromALayout) {
  std::unique_ptr<TTestWidget> w(CreateComponent<TTestWidget>(nullptr));
  w->SetName("Widget1");
  w->SetCount(42);
  auto* child = CreateComponent<TTestWidget>(w.get());
  child->SetName("Child");
  child->SetCount(7);
  TMemoryStream s;
  WriteComponentToStream(s, w.get());
  s.SetPosition(0);
  std::unique_ptr<TComponent> read(ReadComponentFromStream(s));
  auto* copy = dynamic_cast<TTestWidget*>(read.get());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Ready, 1);
  EXPECT_EQ(copy->CountWhenReady, 42) << "ready only once its stored properties were read";
  auto* childCopy = dynamic_cast<TTestWidget*>(copy->FindComponent("Child"));
  ASSERT_NE(childCopy, nullptr);
  EXPECT_EQ(childCopy->Ready, 1);
  EXPECT_EQ(childCopy->CountWhenReady, 7);
}

TEST_F(ComponentFoundation, NeverReadyWhileDesigned) {
  std::unique_ptr<TTestWidget> owner(CreateComponent<TTestWidget>(nullptr));
  owner->SetDesigning(true);
  owner->SetLoading(true);
  auto* w = new TTestWidget(owner.get());
  w->SetDesigning(true);
  w->AfterConstruction();
  w->Loaded();
  EXPECT_EQ(w->Ready, 0);
}

TEST_F(ComponentFoundation, SettersNotifyTheirOwnObjectOnTheSharedLock) {
  std::unique_ptr<TTestWidget> w(CreateComponent<TTestWidget>(nullptr));
  EXPECT_EQ(w->GetLock()->Instance(), w->FSettings.GetLock()->Instance()) << "one framework lock per component";
  EXPECT_NE(w->GetLock().Get(), w->FSettings.GetLock().Get());
  w->SetGain(2);
  w->SetGain(2);
  EXPECT_EQ(w->Changes, 1) << "setting the same value again notifies nobody";
  w->FSettings.SetCategory(5);
  EXPECT_EQ(w->FSettings.Changes, 1);
  EXPECT_EQ(w->Changes, 1) << "a sub-object's change is its own";
}

struct TNoLockCase {
  const char* Name;
  std::function<void()> Make;
};

class PersistentWithoutLock : public testing::TestWithParam<TNoLockCase> {};

TEST_P(PersistentWithoutLock, FailsWithTheFoundationsText) {
  try {
    GetParam().Make();
    FAIL() << "made";
  } catch (const ECmError& e) {
    EXPECT_EQ(e.Message(), "Calling TCmPersistent.Create without lock!");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PersistentWithoutLock,
    testing::Values(TNoLockCase{"NoArguments", [] { TCmPersistent p; }},
                    TNoLockCase{"EmptyLock", [] { TCmPersistent p(nullptr, Ref<IFlLock>()); }},
                    TNoLockCase{"OwnerWithoutLock", [] {
                      TCollection plain(nullptr, nullptr);
                      TCmPersistent p(&plain);
                    }}),
    [](const testing::TestParamInfo<TNoLockCase>& AInfo) { return std::string(AInfo.param.Name); });

TEST_F(ComponentFoundation, PersistentMadeFromAPersistentOwnerSharesItsLock) {
  std::unique_ptr<TTestWidget> w(CreateComponent<TTestWidget>(nullptr));
  TTestSettings nested(&w->FSettings);
  EXPECT_EQ(nested.GetOwner(), &w->FSettings);
  EXPECT_EQ(nested.GetLock()->Instance(), w->GetLock()->Instance());
  TTestSettings fromComponent(w.get());
  EXPECT_EQ(fromComponent.GetLock()->Instance(), w->GetLock()->Instance());
}

// ---------------------------------------------------------------------------
// "_Floats"

TEST_F(ComponentFoundation, ZeroCategoryIsStoredInTheFloatsListAlone) {
  std::unique_ptr<TTestWidget> w(CreateComponent<TTestWidget>(nullptr));
  w->FSettings.SetCategory(0);
  w->FSettings.SetStamp(0);  // a date is never listed
  w->SetGain(3);
  const Bytes stored = StoreSettingsOf(*w);
  const Bytes floats = Cat({Str("Settings._Floats"), {0x01, 0x01}, {0x07}, Str("Category"), kExtendedZero, {0x00, 0x00}});
  EXPECT_TRUE(Contains(stored, floats));
  EXPECT_FALSE(Contains(stored, Str("Settings.Category")));
  EXPECT_FALSE(Contains(stored, Str("Stamp")));
  EXPECT_FALSE(Contains(stored, Str("_Floats"))) << "the widget's Gain is not 0: it has no list of its own";
}

TEST_F(ComponentFoundation, NonZeroRealsNeedNoFloatsList) {
  std::unique_ptr<TTestWidget> w(CreateComponent<TTestWidget>(nullptr));
  w->SetGain(1);
  w->FSettings.SetCategory(1.5);
  const Bytes stored = StoreSettingsOf(*w);
  EXPECT_FALSE(Contains(stored, Str("Settings._Floats")));
  EXPECT_FALSE(Contains(stored, Str("_Floats")));
  EXPECT_TRUE(Contains(stored, Cat({Str("Settings.Category"), {0x05}})));
}

TEST_F(ComponentFoundation, FloatsFollowTheNameOrder) {
  std::unique_ptr<TTestWidget> w(CreateComponent<TTestWidget>(nullptr));
  for (auto set : {&TTestSettings::SetZeta, &TTestSettings::SetCategory, &TTestSettings::SetAlpha, &TTestSettings::SetCat})
    (w->FSettings.*set)(0);
  const Bytes stored = StoreSettingsOf(*w);
  auto entry = [](const char* AName) { return Cat({{0x01, 0x07}, Str(AName), kExtendedZero, {0x00}}); };
  // Letters without regard to case, a name that starts another first.
  const Bytes expected = Cat({Str("Settings._Floats"), {0x01}, entry("alpha"), entry("Cat"), entry("Category"),
                              entry("Zeta"), {0x00}});
  EXPECT_TRUE(Contains(stored, expected));
}

TEST_F(ComponentFoundation, FloatsReadBackThroughTheSetters) {
  std::unique_ptr<TTestWidget> w(CreateComponent<TTestWidget>(nullptr));
  w->SetName("W");
  w->FSettings.SetCategory(0);
  w->FSettings.SetCat(0);
  TMemoryStream s;
  WriteComponentToStream(s, w.get());
  s.SetPosition(0);
  std::unique_ptr<TTestWidget> target(CreateComponent<TTestWidget>(nullptr));
  ReadComponentFromStream(s, target.get());
  EXPECT_EQ(target->FSettings.FCategory, 0);
  EXPECT_EQ(target->FSettings.FCat, 0);
  EXPECT_EQ(target->FSettings.FAlpha, 1);
  EXPECT_EQ(target->FGain, 0);
  EXPECT_GE(target->FSettings.Changes, 2) << "set through the setters";
}

// A "_Floats" value read on its own, as the reader sees it.
void ReadFloatsInto(TTestSettings& ASettings, const Bytes& AValue) {
  TMemoryStream s(Cat({Str("_Floats"), AValue}));
  TReader r(s);
  r.ReadProperty(&ASettings);
  EXPECT_EQ(s.Remaining(), 0);
}

TEST_F(ComponentFoundation, FloatsEntriesThatFitNothingAreSkipped) {
  std::unique_ptr<TTestWidget> w(CreateComponent<TTestWidget>(nullptr));
  TTestSettings& settings = w->FSettings;
  settings.SetLevel(4);
  const Bytes value = Cat({{0x01},
                           {0x01, 0x07}, Str("Unknown"), kExtendedZero, {0x00},
                           {0x01, 0x07}, Str("Level"), kExtendedZero, {0x00},    // not a real property
                           {0x01, 0x07}, Str("Enabled"), {0x03, 0x2C, 0x01}, {0x00},  // nor this one
                           {0x01, 0x07}, Str("cat"), {0x03, 0x2C, 0x01}, {0x00},  // a real from an Int16
                           {0x00}});
  ReadFloatsInto(settings, value);
  EXPECT_EQ(settings.FLevel, 4);
  EXPECT_FALSE(settings.GetEnabled());
  EXPECT_EQ(settings.FCat, 300);
}

TEST_F(ComponentFoundation, FloatsTagsOutOfPlaceFail) {
  std::unique_ptr<TTestWidget> w(CreateComponent<TTestWidget>(nullptr));
  const Bytes cases[] = {
      {0x02, 0x00},                                              // no list
      Cat({{0x01, 0x01, 0x07}, Str("Cat"), kExtendedZero, {0x02, 0x00}}),  // no end of the pair
      Cat({{0x01, 0x01}, Str("Cat")}),                           // a name without its tag
      {0x01, 0x06, 0x00},                                        // something other than a pair
  };
  for (const Bytes& c : cases) {
    TMemoryStream s(Cat({Str("_Floats"), c}));
    TReader r(s);
    try {
      r.ReadProperty(&w->FSettings);
      ADD_FAILURE() << "accepted";
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Message().rfind("Invalid property value", 0), 0u) << e.Message();
    }
  }
}

// ---------------------------------------------------------------------------
// Assign

TEST_F(ComponentFoundation, AssignCopiesPublishedPropertiesButTheName) {
  std::unique_ptr<TTestWidget> a(CreateComponent<TTestWidget>(nullptr));
  std::unique_ptr<TTestWidget> b(CreateComponent<TTestWidget>(nullptr));
  a->SetName("A");
  b->SetName("B");
  a->SetGain(2.5);
  a->SetCount(9);
  a->FSettings.SetCategory(0);
  a->FSettings.SetEnabled(true);
  int pings = 0;
  a->SetOnPing(TNotifyEvent([&](TObject*) { ++pings; }));
  b->Assign(a.get());
  EXPECT_EQ(b->GetName(), "B");
  EXPECT_EQ(b->FGain, 2.5);
  EXPECT_EQ(b->FCount, 9);
  EXPECT_EQ(b->FSettings.FCategory, 0) << "the settings object copied itself";
  EXPECT_TRUE(b->FSettings.GetEnabled());
  ASSERT_TRUE(b->FOnPing);
  b->FOnPing(b.get());
  EXPECT_EQ(pings, 1);
}

TEST_F(ComponentFoundation, AssignFromAClassLackingAPropertyFailsToTheCaller) {
  std::unique_ptr<TTestWidget> w(CreateComponent<TTestWidget>(nullptr));
  std::unique_ptr<TOtherWidget> other(CreateComponent<TOtherWidget>(nullptr));
  other->SetGain(4);
  EXPECT_THROW(w->Assign(other.get()), EPropertyError);
  // The write section was released: another thread can set a property.
  std::thread t([&] { w->SetGain(7); });
  t.join();
  EXPECT_EQ(w->FGain, 7);
}

TEST_F(ComponentFoundation, AssignFromAnotherFamilyFallsBack) {
  std::unique_ptr<TTestWidget> w(CreateComponent<TTestWidget>(nullptr));
  TCollection plain(nullptr, nullptr);
  EXPECT_THROW(w->Assign(&plain), EConvertError);
  EXPECT_THROW(w->FSettings.Assign(w.get()), EConvertError);
}

// ---------------------------------------------------------------------------
// Collection items

class TTestEntry : public TCmCollectionItem {
 public:
  using TCmCollectionItem::TCmCollectionItem;
  static const TClassInfo& StaticClass() {
    static const TClassInfo info = TClassBuilder<TTestEntry>("TTestEntry", &TCmCollectionItem::StaticClass())
                                       .Float("Weight", &TTestEntry::FWeight, &TTestEntry::SetWeight)
                                       .Build();
    return info;
  }
  const TClassInfo& ClassType() const override { return StaticClass(); }
  void SetWeight(double AValue) { FLock->Setter(FWeight, AValue, {}); }
  void PropertiesChanged() override { ++Changes; }
  double FWeight = 0;
  int Changes = 0;
};

TEST_F(ComponentFoundation, CollectionItemsShareTheCollectionsLock) {
  std::unique_ptr<TTestWidget> w(CreateComponent<TTestWidget>(nullptr));
  TCmCollection entries(w.get(), w->GetLock(), [](TCollection* c) { return new TTestEntry(c); });
  auto* e1 = static_cast<TTestEntry*>(entries.Add());
  auto* e2 = static_cast<TTestEntry*>(entries.Add());
  EXPECT_EQ(e1->GetLock()->Instance(), w->GetLock()->Instance());
  e1->SetWeight(3);
  EXPECT_EQ(e1->Changes, 1);
  EXPECT_EQ(e2->Changes, 0);
  e2->Assign(e1);
  EXPECT_EQ(e2->FWeight, 3);
  EXPECT_EQ(entries.Count(), 2);
  TCollection plain(nullptr, [](TCollection* c) { return new TTestEntry(c); });
  EXPECT_THROW(plain.Add(), ECmError);
  EXPECT_EQ(plain.Count(), 0) << "the refused item left the collection";
}

TEST_F(ComponentFoundation, FreedItemClearsTheEditorsReference) {
  TCollection plain(nullptr, nullptr);
  TCollectionItem* shown = nullptr;
  auto* item = new TFlExtCollectionItem(&plain);
  shown = item;
  item->CurrentEditorPtr = &shown;
  delete item;
  EXPECT_EQ(shown, nullptr);
  EXPECT_EQ(plain.Count(), 0);
}

// ---------------------------------------------------------------------------
// The timer

class TimerTest : public testing::Test {
 protected:
  void SetUp() override {
    loop.SetClock([this] { return Now; });
    loop.SetTimerCapacity(1000);
  }
  void TearDown() override {
    loop.SetClock(nullptr);
    loop.SetTimerCapacity(1000);
  }
  void Advance(int AMilliseconds) {
    Now += std::chrono::milliseconds(AMilliseconds);
    loop.ProcessMessages();
  }

  TMessageLoop& loop = TMessageLoop::Application();
  std::chrono::steady_clock::time_point Now{};
};

TEST_F(TimerTest, TicksEveryIntervalWhileEnabled) {
  std::unique_ptr<TCmTimer> timer(CreateComponent<TCmTimer>(nullptr));
  EXPECT_TRUE(timer->GetEnabled());
  EXPECT_EQ(timer->GetInterval(), 1000u);
  EXPECT_EQ(loop.ActiveTimers(), 0u) << "no handler, no platform timer";
  std::vector<TObject*> senders;
  timer->SetInterval(100);
  timer->SetOnTimer(TNotifyEvent([&](TObject* s) { senders.push_back(s); }));
  EXPECT_EQ(loop.ActiveTimers(), 1u);
  Advance(99);
  EXPECT_TRUE(senders.empty());
  Advance(1);
  ASSERT_EQ(senders.size(), 1u);
  EXPECT_EQ(senders[0], timer.get());
  Advance(100);
  EXPECT_EQ(senders.size(), 2u);
  timer->SetEnabled(false);
  EXPECT_EQ(loop.ActiveTimers(), 0u);
  Advance(500);
  EXPECT_EQ(senders.size(), 2u);
}

TEST_F(TimerTest, IntervalZeroRunsNoPlatformTimer) {
  std::unique_ptr<TCmTimer> timer(CreateComponent<TCmTimer>(nullptr));
  timer->SetOnTimer(TNotifyEvent([](TObject*) {}));
  EXPECT_EQ(loop.ActiveTimers(), 1u);
  timer->SetInterval(0);
  EXPECT_EQ(loop.ActiveTimers(), 0u);
}

TEST_F(TimerTest, SettingTheSameValueDoesNotRestart) {
  std::unique_ptr<TCmTimer> timer(CreateComponent<TCmTimer>(nullptr));
  int ticks = 0;
  timer->SetOnTimer(TNotifyEvent([&](TObject*) { ++ticks; }));
  Advance(600);
  timer->SetEnabled(true);
  timer->SetInterval(1000);
  Advance(400);
  EXPECT_EQ(ticks, 1) << "the period kept running";
  timer->SetOnTimer(timer->GetOnTimer());  // a new handler always restarts
  Advance(999);
  EXPECT_EQ(ticks, 1);
  Advance(1);
  EXPECT_EQ(ticks, 2);
}

TEST_F(TimerTest, AnErrorInOnTimerIsSwallowedAndLaterTicksCome) {
  std::unique_ptr<TCmTimer> timer(CreateComponent<TCmTimer>(nullptr));
  int ticks = 0;
  timer->SetInterval(10);
  timer->SetOnTimer(TNotifyEvent([&](TObject*) {
    ++ticks;
    throw Exception("handler failed");
  }));
  EXPECT_NO_THROW(Advance(10));
  EXPECT_NO_THROW(Advance(10));
  EXPECT_EQ(ticks, 2);
}

TEST_F(TimerTest, RefusedPlatformTimerFailsAndKeepsTheProperties) {
  loop.SetTimerCapacity(0);
  std::unique_ptr<TCmTimer> timer(CreateComponent<TCmTimer>(nullptr));
  timer->SetInterval(50);
  try {
    timer->SetOnTimer(TNotifyEvent([](TObject*) {}));
    FAIL() << "the platform refused, the timer did not say so";
  } catch (const EOutOfResources& e) {
    EXPECT_EQ(e.Message(), "Not enough timers available");
  }
  EXPECT_TRUE(timer->GetOnTimer());
  EXPECT_EQ(timer->GetInterval(), 50u);
  loop.SetTimerCapacity(1);
  timer->SetEnabled(false);
  EXPECT_NO_THROW(timer->SetEnabled(true));
  EXPECT_EQ(loop.ActiveTimers(), 1u);
}

TEST_F(TimerTest, FreeingTheTimerStopsIt) {
  int ticks = 0;
  {
    std::unique_ptr<TCmTimer> timer(CreateComponent<TCmTimer>(nullptr));
    timer->SetInterval(10);
    timer->SetOnTimer(TNotifyEvent([&](TObject*) { ++ticks; }));
  }
  EXPECT_EQ(loop.ActiveTimers(), 0u);
  Advance(100);
  EXPECT_EQ(ticks, 0);
}

TEST_F(TimerTest, StoredTimerKeepsItsSettingsAndHandler) {
  class TTimerForm : public TComponent {
   public:
    explicit TTimerForm(TComponent* AOwner) : TComponent(AOwner) {}
    static const TClassInfo& StaticClass() {
      static const TClassInfo info = TClassBuilder<TTimerForm>("TTimerForm", &TComponent::StaticClass())
                                         .Method<TNotifyEvent>("Tick", &TTimerForm::Tick)
                                         .Build();
      return info;
    }
    const TClassInfo& ClassType() const override { return StaticClass(); }
    void Tick(TObject*) { ++Ticks; }
    int Ticks = 0;
  };
  RegisterClass(TCmTimer::StaticClass());
  TTimerForm form(nullptr);
  form.SetName("Form1");
  auto* timer = CreateComponent<TCmTimer>(&form);
  timer->SetName("Timer1");
  timer->SetInterval(250);
  timer->SetEnabled(false);
  timer->SetOnTimer(std::any_cast<TNotifyEvent>(form.ClassType().FindMethod("Tick")->Bind(&form)));
  TMemoryStream s;
  WriteComponentToStream(s, &form);
  TTimerForm copy(nullptr);
  s.SetPosition(0);
  ReadComponentFromStream(s, &copy);
  auto* t = dynamic_cast<TCmTimer*>(copy.FindComponent("Timer1"));
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->GetInterval(), 250u);
  EXPECT_FALSE(t->GetEnabled());
  t->SetEnabled(true);
  Advance(250);
  EXPECT_EQ(copy.Ticks, 1);
  EXPECT_EQ(form.Ticks, 0);
}

// The timer calls its handler on the thread that runs the loop, not on the
// thread that set it up.
TEST(TimerThreads, TicksOnTheLoopsThread) {
  TMessageLoop& loop = TMessageLoop::Application();
  std::atomic<int> ticks{0};
  std::thread::id tickThread;
  std::unique_ptr<TCmTimer> timer(CreateComponent<TCmTimer>(nullptr));
  timer->SetInterval(1);
  timer->SetOnTimer(TNotifyEvent([&](TObject*) {
    tickThread = std::this_thread::get_id();
    if (++ticks == 3) loop.Terminate();
  }));
  std::thread runner([&] { loop.Run(); });
  const std::thread::id runnerId = runner.get_id();
  runner.join();
  timer.reset();
  EXPECT_EQ(ticks.load(), 3);
  EXPECT_EQ(tickThread, runnerId);
}

}  // namespace
