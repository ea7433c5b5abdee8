// The component model: published properties along the class chain, the
// class registry, the component tree with names, state and notifications,
// and collections.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Components.h"
#include "platform/TypInfo.h"

namespace {

class TBase : public TComponent {
 public:
  explicit TBase(TComponent* AOwner) : TComponent(AOwner) {}
  static const TClassInfo& StaticClass() {
    static const TClassInfo info = TClassBuilder<TBase>("TBase", &TComponent::StaticClass())
                                       .Integer("Width", &TBase::FWidth, &TBase::SetWidth)
                                       .Default(10)
                                       .String("Caption", &TBase::FCaption, &TBase::SetCaption)
                                       .Creates()
                                       .Build();
    return info;
  }
  const TClassInfo& ClassType() const override { return StaticClass(); }
  void SetWidth(int32_t AValue) { FWidth = AValue; }
  void SetCaption(const std::string& AValue) { FCaption = AValue; }
  void Notification(TComponent* AComponent, TOperation AOperation) override {
    Heard.push_back((AOperation == TOperation::opInsert ? "+" : "-") + AComponent->GetName());
  }
  int32_t FWidth = 10;
  std::string FCaption;
  std::vector<std::string> Heard;
};

class TDerived : public TBase {
 public:
  explicit TDerived(TComponent* AOwner) : TBase(AOwner) {}
  static const TClassInfo& StaticClass() {
    static const TClassInfo info = TClassBuilder<TDerived>("TDerived", &TBase::StaticClass())
                                       .Float("Angle", &TDerived::FAngle, &TDerived::SetAngle)
                                       .Integer("Width", &TDerived::FWidth, &TDerived::SetWidth)
                                       .Default(20)  // redeclared with a new default
                                       .Event("OnClick", &TDerived::FOnClick, &TDerived::SetOnClick)
                                       .Method<TNotifyEvent>("ButtonClick", &TDerived::ButtonClick)
                                       .Creates()
                                       .Build();
    return info;
  }
  const TClassInfo& ClassType() const override { return StaticClass(); }
  void SetAngle(double AValue) { FAngle = AValue; }
  void SetOnClick(const TNotifyEvent& AValue) { FOnClick = AValue; }
  void ButtonClick(TObject* ASender) { Clicks.push_back(ASender); }
  double FAngle = 0;
  TNotifyEvent FOnClick;
  std::vector<TObject*> Clicks;
};

std::vector<std::string> Names(const std::vector<const TPropInfo*>& AProps) {
  std::vector<std::string> out;
  for (const TPropInfo* p : AProps) out.push_back(p->Name);
  return out;
}

TEST(PublishedProperties, InheritedFirstInDeclarationOrder) {
  const TClassInfo& info = TDerived::StaticClass();
  EXPECT_EQ(Names(info.Properties()), (std::vector<std::string>{"Name", "Tag", "Width", "Caption", "Angle", "OnClick"}));
  const TPropInfo* width = info.FindProperty("WIDTH");
  ASSERT_NE(width, nullptr);
  EXPECT_EQ(width->Default, 20) << "the redeclaration holds";
  EXPECT_EQ(TBase::StaticClass().FindProperty("Width")->Default, 10);
  EXPECT_EQ(info.FindProperty("Missing"), nullptr);
  EXPECT_EQ(info.FindProperty("Angle")->Type->Name, "Real");
  EXPECT_EQ(info.FindProperty("Angle")->Kind(), TTypeKind::tkFloat);
  EXPECT_FALSE(info.FindProperty("Name")->Stored);
}

TEST(PublishedProperties, SortedByNameWithoutCasePrefixesFirst) {
  EXPECT_TRUE(PropNameLess("Cat", "Category"));
  EXPECT_TRUE(PropNameLess("alpha", "Beta"));
  EXPECT_FALSE(PropNameLess("Beta", "alpha"));
  EXPECT_FALSE(PropNameLess("cat", "Cat"));
  EXPECT_EQ(Names(TDerived::StaticClass().SortedProperties()),
            (std::vector<std::string>{"Angle", "Caption", "Name", "OnClick", "Tag", "Width"}));
}

TEST(PublishedProperties, AccessByNameAndEvents) {
  std::unique_ptr<TDerived> d(CreateComponent<TDerived>(nullptr));
  const TPropInfo* angle = GetPropInfo(d.get(), "angle");
  ASSERT_NE(angle, nullptr);
  angle->SetFloat(d.get(), 1.25);
  EXPECT_EQ(d->FAngle, 1.25);
  EXPECT_EQ(GetPropInfo(d.get(), "Caption")->GetStr(d.get()), "");
  // A handler bound by name keeps its name for storing.
  const TMethodInfo* m = d->ClassType().FindMethod("buttonclick");
  ASSERT_NE(m, nullptr);
  const TPropInfo* onClick = GetPropInfo(d.get(), "OnClick");
  EXPECT_EQ(m->EventType, onClick->Type->EventType);
  onClick->SetEvent(d.get(), m->Bind(d.get()));
  d->FOnClick(d.get());
  ASSERT_EQ(d->Clicks.size(), 1u);
  const TMethodBinding b = onClick->GetEventBinding(d.get());
  EXPECT_EQ(b.Name, "ButtonClick");
  EXPECT_EQ(b.Data, d.get());
  onClick->SetEvent(d.get(), std::any());
  EXPECT_FALSE(d->FOnClick);
}

TEST(PublishedProperties, WrongObjectIsRefused) {
  std::unique_ptr<TBase> b(CreateComponent<TBase>(nullptr));
  const TPropInfo* angle = TDerived::StaticClass().FindProperty("Angle");
  EXPECT_THROW(angle->SetFloat(b.get(), 1), EConvertError);
}

TEST(ClassRegistry, FindsClassesByNameWithTheirParentChain) {
  RegisterClass(TDerived::StaticClass());
  const TClassInfo* found = FindClassInfo("tderived");
  ASSERT_EQ(found, &TDerived::StaticClass());
  EXPECT_TRUE(found->InheritsFrom("TBase"));
  EXPECT_TRUE(found->InheritsFrom("TComponent"));
  EXPECT_TRUE(found->InheritsFrom(TPersistent::StaticClass()));
  EXPECT_FALSE(TBase::StaticClass().InheritsFrom("TDerived"));
  EXPECT_EQ(FindClassInfo("TNoSuchClass"), nullptr);
  std::unique_ptr<TComponent> made(found->Factory()(nullptr));
  EXPECT_EQ(made->ClassName(), "TDerived");
  // Another class under a taken name is refused.
  EXPECT_THROW(TClassInfo("TDerived", nullptr, {}, {}, nullptr), EFilerError);
}

// ---------------------------------------------------------------------------
// The component tree

TEST(ComponentTree, OwnerFreesWhatItOwnsAndHearsJoinsAndLeaves) {
  auto* owner = CreateComponent<TBase>(nullptr);
  owner->SetName("Owner");
  auto* a = CreateComponent<TBase>(owner);
  a->SetName("A");
  auto* b = new TBase(nullptr);
  b->SetName("B");
  owner->InsertComponent(b);
  EXPECT_EQ(owner->ComponentCount(), 2);
  EXPECT_EQ(owner->Components(1), b);
  EXPECT_EQ(b->GetComponentIndex(), 1);
  EXPECT_EQ(owner->FindComponent("b"), b);
  EXPECT_THROW(owner->Components(2), ERangeError);
  EXPECT_EQ(a->Heard, (std::vector<std::string>{"+B"})) << "siblings hear of a new component";
  delete b;
  EXPECT_EQ(owner->ComponentCount(), 1);
  EXPECT_EQ(owner->Heard.back(), "-B");
  delete owner;  // frees A too (ASan would see a leak or double free)
}

struct TRenameCase {
  const char* Name;
  const char* NewName;
  bool Accepted;
};

class ComponentNames : public testing::TestWithParam<TRenameCase> {};

TEST_P(ComponentNames, AreIdentifiersUniqueAmongTheOwners) {
  std::unique_ptr<TBase> owner(CreateComponent<TBase>(nullptr));
  CreateComponent<TBase>(owner.get())->SetName("Taken");
  auto* c = CreateComponent<TBase>(owner.get());
  if (GetParam().Accepted) {
    c->SetName(GetParam().NewName);
    EXPECT_EQ(c->GetName(), GetParam().NewName);
  } else {
    EXPECT_THROW(c->SetName(GetParam().NewName), EComponentError);
    EXPECT_EQ(c->GetName(), "");
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ComponentNames,
                         testing::Values(TRenameCase{"Plain", "Button1", true}, TRenameCase{"Underscore", "_x9", true},
                                         TRenameCase{"Empty", "", true}, TRenameCase{"LeadingDigit", "1Button", false},
                                         TRenameCase{"Dot", "A.B", false}, TRenameCase{"Space", "A B", false},
                                         TRenameCase{"TakenOtherCase", "TAKEN", false}),
                         [](const testing::TestParamInfo<TRenameCase>& AInfo) { return std::string(AInfo.param.Name); });

TEST(ComponentTree, FreeNotificationGoesBothWays) {
  auto* watcher = CreateComponent<TBase>(nullptr);
  auto* watched = CreateComponent<TBase>(nullptr);
  watched->SetName("Watched");
  watcher->FreeNotification(watched);
  delete watched;
  EXPECT_EQ(watcher->Heard, (std::vector<std::string>{"-Watched"}));
  auto* other = CreateComponent<TBase>(nullptr);
  other->FreeNotification(watcher);
  delete other;  // the watcher must not keep a dangling link
  delete watcher;
}

TEST(ComponentTree, StateFlagsAndLoadingAlongTheOwnerChain) {
  std::unique_ptr<TBase> owner(CreateComponent<TBase>(nullptr));
  auto* child = CreateComponent<TBase>(owner.get());
  EXPECT_FALSE(child->IsLoadingInChain());
  owner->SetLoading(true);
  EXPECT_TRUE(child->IsLoadingInChain());
  EXPECT_FALSE(child->HasState(TComponentStateFlag::csLoading));
  owner->Loaded();
  EXPECT_FALSE(owner->HasState(TComponentStateFlag::csLoading));
  owner->SetDesigning(true);
  EXPECT_TRUE(child->HasState(TComponentStateFlag::csDesigning));
}

TEST(ComponentTree, ComponentsAnswerInterfaceQueriesWithoutCounting) {
  std::unique_ptr<TBase> c(CreateComponent<TBase>(nullptr));
  Ref<IInterface> i = Supports<IInterface>(static_cast<IInterface*>(c.get()));
  EXPECT_TRUE(i);
  i.Reset();  // releasing a handle never frees a component
  EXPECT_EQ(c->FWidth, 10);
}

// ---------------------------------------------------------------------------
// Collections

class TItem : public TCollectionItem {
 public:
  explicit TItem(TCollection* ACollection) : TCollectionItem(ACollection) {}
  static const TClassInfo& StaticClass() {
    static const TClassInfo info = TClassBuilder<TItem>("TItem", &TCollectionItem::StaticClass())
                                       .Integer("Value", &TItem::FValue, &TItem::SetValue)
                                       .Build();
    return info;
  }
  const TClassInfo& ClassType() const override { return StaticClass(); }
  void SetValue(int32_t AValue) { FValue = AValue; }
  void Assign(const TPersistent* ASource) override {
    if (const auto* s = dynamic_cast<const TItem*>(ASource)) {
      FValue = s->FValue;
      return;
    }
    TCollectionItem::Assign(ASource);
  }
  int32_t FValue = 0;
};

TEST(Collections, ItemsJoinLeaveMoveAndCopy) {
  TCollection c(nullptr, [](TCollection* AC) { return new TItem(AC); });
  auto* i0 = static_cast<TItem*>(c.Add());
  auto* i1 = static_cast<TItem*>(c.Add());
  i0->FValue = 1;
  i1->FValue = 2;
  EXPECT_EQ(i1->GetIndex(), 1);
  EXPECT_EQ(i1->GetOwner(), &c);
  i1->SetIndex(0);
  EXPECT_EQ(c.Items(0), i1);
  EXPECT_THROW(i1->SetIndex(5), ERangeError);
  TCollection copy(nullptr, [](TCollection* AC) { return new TItem(AC); });
  copy.Add();
  copy.Assign(&c);
  ASSERT_EQ(copy.Count(), 2);
  EXPECT_EQ(static_cast<TItem*>(copy.Items(0))->FValue, 2);
  c.Delete(0);
  EXPECT_EQ(c.Count(), 1);
  delete i0;
  EXPECT_EQ(c.Count(), 0);
  EXPECT_THROW(c.Items(0), ERangeError);
}

}  // namespace
