// The main window's stored layout without a toolkit: what the embedded
// layout makes, that it is written back and read again unchanged, how the
// controls follow the client area, and layouts that cannot make the window.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/Unit1.h"
#include "component/CmFiler.h"
#include "component/CmTextLayout.h"

namespace {

std::unique_ptr<TForm1> Load() { return std::unique_ptr<TForm1>(TForm1::CreateFromLayout()); }

TControl* ControlOf(TForm1& AForm, const char* AName) {
  auto* c = dynamic_cast<TControl*>(AForm.FindComponent(AName));
  EXPECT_NE(c, nullptr) << AName;
  return c;
}

TEST(StoredLayout, MakesTheWindowAndItsSettings) {
  std::unique_ptr<TForm1> form = Load();
  EXPECT_EQ(form->GetName(), "Form1");
  EXPECT_EQ(form->GetCaption(), "Face recognition demo");
  EXPECT_EQ(form->GetLeft(), 100);
  EXPECT_EQ(form->GetTop(), 100);
  EXPECT_EQ(form->GetClientWidth(), 649);
  EXPECT_EQ(form->GetClientHeight(), 423);
  EXPECT_EQ(form->GetDesignSize()->GetWidth(), 649);
  EXPECT_EQ(form->GetDesignSize()->GetHeight(), 423);
  EXPECT_EQ(form->GetColor(), clBtnFace);
  EXPECT_EQ(form->GetFont()->GetName(), "Tahoma");
  EXPECT_EQ(form->GetFont()->GetHeight(), -11);
  EXPECT_EQ(form->GetFont()->GetColor(), clWindowText);
  EXPECT_EQ(form->GetFont()->GetCharset(), DEFAULT_CHARSET);
  EXPECT_EQ(form->GetFont()->GetStyle(), 0u);
  EXPECT_EQ(form->GetTextHeight(), 13);
  EXPECT_EQ(form->GetPixelsPerInch(), 96);

  const TAnchors lb = AnchorBit(akLeft) | AnchorBit(akBottom);
  const TAnchors ltb = AnchorBit(akLeft) | AnchorBit(akTop) | AnchorBit(akBottom);
  const struct {
    const char* Name;
    const char* Class;
    int32_t Left, Top, Width, Height;
    TAnchors Anchors;
    TAlign Align;
    const char* Caption;
    bool Enabled;
    int32_t TabOrder;
  } rows[] = {
      {"Label1", "TLabel", 8, 6, 235, 13, cDefaultAnchors, alNone, "Training faces from AT&T Laboratories Cambridge:", true, -1},
      {"Label2", "TLabel", 319, 6, 252, 13, cDefaultAnchors, alNone, "Recognized faces from AT&T Laboratories Cambridge:", true, -1},
      {"RecognizeLabel", "TLabel", 401, 376, 164, 13, lb, alNone, "Click Recognize to see the results.", true, -1},
      {"TrainLabel", "TLabel", 89, 376, 47, 13, lb, alNone, "Untrained", true, -1},
      {"ListView1", "TListView", 8, 22, 305, 343, ltb, alNone, "", true, 0},
      {"TrainButton", "TButton", 8, 371, 75, 25, lb, alNone, "Train", true, 1},
      {"RecognizeButton", "TButton", 319, 371, 75, 25, lb, alNone, "Recognize", false, 2},
      {"ProgressBar1", "TProgressBar", 0, 406, 649, 17, cDefaultAnchors, alBottom, "", true, 3},
      {"ListView2", "TListView", 319, 22, 314, 343, ltb, alNone, "", true, 4},
  };
  // Made in the stored order; the image list and the network follow.
  ASSERT_EQ(form->ComponentCount(), 11);
  for (int32_t i = 0; i < 9; ++i) {
    const auto& r = rows[i];
    TControl* c = ControlOf(*form, r.Name);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->GetComponentIndex(), i) << r.Name;
    EXPECT_EQ(c->ClassName(), r.Class) << r.Name;
    EXPECT_EQ(c->GetLeft(), r.Left) << r.Name;
    EXPECT_EQ(c->GetTop(), r.Top) << r.Name;
    EXPECT_EQ(c->GetWidth(), r.Width) << r.Name;
    EXPECT_EQ(c->GetHeight(), r.Height) << r.Name;
    EXPECT_EQ(c->GetAnchors(), r.Anchors) << r.Name;
    EXPECT_EQ(c->GetAlign(), r.Align) << r.Name;
    EXPECT_EQ(c->GetCaption(), r.Caption) << r.Name;
    EXPECT_EQ(c->GetEnabled(), r.Enabled) << r.Name;
    EXPECT_TRUE(c->GetVisible()) << r.Name;
    if (auto* w = dynamic_cast<TWinControl*>(c)) {
      EXPECT_EQ(w->GetTabOrder(), r.TabOrder) << r.Name;
    }
  }
  EXPECT_EQ(form->ImageList1->GetComponentIndex(), 9);
  EXPECT_EQ(form->ImageList1->GetWidth(), 32);
  EXPECT_EQ(form->ImageList1->GetHeight(), 32);
  EXPECT_EQ(form->ImageList1->GetDesignLeft(), 32);
  EXPECT_EQ(form->ImageList1->GetDesignTop(), 40);
  EXPECT_EQ(form->ListView1->GetLargeImages(), form->ImageList1);
  EXPECT_EQ(form->ListView2->GetLargeImages(), form->ImageList1);
  EXPECT_EQ(form->ProgressBar1->GetMin(), 0);
  EXPECT_EQ(form->ProgressBar1->GetMax(), 100);
  EXPECT_EQ(form->ProgressBar1->GetPosition(), 0);
  // Handlers bound by name.
  EXPECT_EQ(form->TrainButton->GetOnClick().Name, "TrainButtonClick");
  EXPECT_EQ(form->TrainButton->GetOnClick().Data, form.get());
  EXPECT_EQ(form->RecognizeButton->GetOnClick().Name, "RecognizeButtonClick");

  TNrRadialBasisFunctionNetwork* network = form->NrRadialBasisFunctionNetwork1;
  ASSERT_NE(network, nullptr);
  EXPECT_EQ(network->GetComponentIndex(), 10);
  EXPECT_EQ(network->GetName(), "NrRadialBasisFunctionNetwork1");
  EXPECT_EQ(network->GetMinInfluenceField(), 2);
  EXPECT_EQ(network->GetMaxInfluenceField(), 300);
  EXPECT_FALSE(network->GetBackground()->GetEnabled());
  EXPECT_EQ(network->GetBackground()->GetCategory(), 0);
  EXPECT_EQ(network->GetOnResult().Name, "NrRadialBasisFunctionNetwork1Result");
  EXPECT_EQ(network->GetDesignLeft(), 96);
  EXPECT_EQ(network->GetDesignTop(), 40);
}

// Compares every stored property of A and B (sub-objects by their
// properties, components they refer to by name, events by handler name).
void ExpectSameStored(TPersistent* A, TPersistent* B, const std::string& APath) {
  ASSERT_EQ(A->ClassName(), B->ClassName()) << APath;
  for (const TPropInfo* p : A->ClassType().Properties()) {
    if (!p->IsStored(A)) continue;
    const std::string where = APath + "." + p->Name;
    switch (p->Kind()) {
      case TTypeKind::tkInteger:
      case TTypeKind::tkInt64:
      case TTypeKind::tkEnumeration:
      case TTypeKind::tkSet:
        EXPECT_EQ(p->GetOrd(A), p->GetOrd(B)) << where;
        break;
      case TTypeKind::tkFloat:
        EXPECT_EQ(p->GetFloat(A), p->GetFloat(B)) << where;
        break;
      case TTypeKind::tkString:
        EXPECT_EQ(p->GetStr(A), p->GetStr(B)) << where;
        break;
      case TTypeKind::tkMethod:
        EXPECT_EQ(p->GetEventBinding(A).Name, p->GetEventBinding(B).Name) << where;
        EXPECT_EQ(static_cast<bool>(p->GetEventBinding(A).Data), static_cast<bool>(p->GetEventBinding(B).Data)) << where;
        break;
      case TTypeKind::tkClass: {
        TPersistent* a = p->GetObj(A);
        TPersistent* b = p->GetObj(B);
        ASSERT_EQ(a == nullptr, b == nullptr) << where;
        if (a == nullptr) break;
        if (auto* ca = dynamic_cast<TComponent*>(a))
          EXPECT_EQ(ca->GetName(), dynamic_cast<TComponent*>(b)->GetName()) << where;
        else
          ExpectSameStored(a, b, where);
        break;
      }
    }
  }
  auto* ca = dynamic_cast<TComponent*>(A);
  auto* cb = dynamic_cast<TComponent*>(B);
  if (ca == nullptr) return;
  EXPECT_EQ(ca->GetName(), cb->GetName()) << APath;
  EXPECT_EQ(ca->GetDesignLeft(), cb->GetDesignLeft()) << APath;
  EXPECT_EQ(ca->GetDesignTop(), cb->GetDesignTop()) << APath;
  ASSERT_EQ(ca->ComponentCount(), cb->ComponentCount()) << APath;
  for (int32_t i = 0; i < ca->ComponentCount(); ++i)
    ExpectSameStored(ca->Components(i), cb->Components(i), APath + "/" + ca->Components(i)->GetName());
}

TEST(StoredLayout, WrittenAgainAndReadBackGivesTheSameForm) {
  std::unique_ptr<TForm1> first = Load();
  TMemoryStream written;
  WriteComponentToStream(written, first.get());
  // The zero category of the background travels in its "_Floats" list.
  const std::string bytes(written.Data().begin(), written.Data().end());
  EXPECT_NE(bytes.find("Background._Floats"), std::string::npos);
  written.SetPosition(0);
  std::unique_ptr<TForm1> second(TForm1::CreateFromStream(written));
  ExpectSameStored(first.get(), second.get(), "Form1");
  EXPECT_EQ(second->NrRadialBasisFunctionNetwork1->GetBackground()->GetCategory(), 0);
  EXPECT_EQ(second->ListView2->GetLargeImages(), second->ImageList1);
  TMemoryStream again;
  WriteComponentToStream(again, second.get());
  EXPECT_EQ(again.Data(), written.Data()) << "writing is stable";
  // The second form's handlers are its own.
  EXPECT_EQ(second->TrainButton->GetOnClick().Data, second.get());
}

// Taller, wider, narrower: anchored sides keep their distance, both lists
// grow in height only, the progress bar spans the width at the bottom.
TEST(StoredLayout, ControlsFollowTheClientArea) {
  struct TRow {
    int32_t Width, Height;
  };
  for (const TRow size : {TRow{749, 503}, TRow{649, 623}, TRow{900, 423}, TRow{600, 400}, TRow{649, 423}}) {
    std::unique_ptr<TForm1> form = Load();
    form->SetClientSize(size.Width, size.Height);
    const int32_t dy = size.Height - 423;
    const std::string at = std::to_string(size.Width) + "x" + std::to_string(size.Height);
    for (TListView* list : {form->ListView1, form->ListView2}) {
      EXPECT_EQ(list->GetTop(), 22) << at;
      EXPECT_EQ(list->GetHeight(), 343 + dy) << at;
    }
    EXPECT_EQ(form->ListView1->GetWidth(), 305) << at;
    EXPECT_EQ(form->ListView2->GetWidth(), 314) << at;
    EXPECT_EQ(form->ListView2->GetLeft(), 319) << at;
    for (TControl* c : std::initializer_list<TControl*>{form->TrainButton, form->RecognizeButton})
      EXPECT_EQ(c->GetTop(), 371 + dy) << at << " " << c->GetName();
    for (TControl* c : std::initializer_list<TControl*>{form->TrainLabel, form->RecognizeLabel})
      EXPECT_EQ(c->GetTop(), 376 + dy) << at << " " << c->GetName();
    EXPECT_EQ(form->RecognizeLabel->GetLeft(), 401) << at;
    EXPECT_EQ(form->Label1->GetTop(), 6) << at;
    EXPECT_EQ(form->Label2->GetLeft(), 319) << at;
    EXPECT_EQ(form->ProgressBar1->GetLeft(), 0) << at;
    EXPECT_EQ(form->ProgressBar1->GetTop(), size.Height - 17) << at;
    EXPECT_EQ(form->ProgressBar1->GetWidth(), size.Width) << at;
    EXPECT_EQ(form->ProgressBar1->GetHeight(), 17) << at;
  }
}

// A layout stored at a design size other than its client size moves its
// anchored controls once, when it is loaded; stored again it keeps them
// there, so a second load leaves every control where the first put it. Also
// when the stored client width is below 0 (taken as 0).
TEST(StoredLayout, StoringAndLoadingAgainKeepsEveryControlWhereItIs) {
  TForm1::RegisterClasses();
  struct TGeometry {
    int32_t Left, Top, Width, Height;
    bool operator==(const TGeometry&) const = default;
  };
  const struct {
    const char* ClientWidth;
    TGeometry Button, List;
  } rows[] = {
      {"700", {8, 448, 75, 25}, {8, 22, 356, 420}},
      {"-2423", {8, 448, 75, 25}, {8, 22, 0, 420}},
  };
  const auto geometry = [](TForm& AForm, const char* AName) {
    auto* c = dynamic_cast<TControl*>(AForm.FindComponent(AName));
    EXPECT_NE(c, nullptr) << AName;
    return c == nullptr ? TGeometry{} : TGeometry{c->GetLeft(), c->GetTop(), c->GetWidth(), c->GetHeight()};
  };
  for (const auto& row : rows) {
    TMemoryStream layout;
    TextLayoutToBinary(std::string("object Form1: TForm\n"
                                   "  ClientHeight = 500\n  ClientWidth = ") +
                           row.ClientWidth +
                           "\n  DesignSize.Width = 649\n  DesignSize.Height = 423\n"
                           "  object B: TButton\n    Left = 8\n    Top = 371\n    Width = 75\n    Height = 25\n"
                           "    Anchors = [akLeft, akBottom]\n  end\n"
                           "  object L: TListView\n    Left = 8\n    Top = 22\n    Width = 305\n    Height = 343\n"
                           "    Anchors = [akLeft, akTop, akRight, akBottom]\n  end\n"
                           "end\n",
                       layout, "moved.layout");
    std::vector<uint8_t> stored = layout.Data();
    for (int load = 1; load <= 3; ++load) {
      std::unique_ptr<TForm> form(CreateComponent<TForm>(nullptr));
      TMemoryStream in(stored);
      ReadComponentFromStream(in, form.get());
      EXPECT_TRUE(geometry(*form, "B") == row.Button) << row.ClientWidth << ", load " << load;
      EXPECT_TRUE(geometry(*form, "L") == row.List) << row.ClientWidth << ", load " << load;
      TMemoryStream out;
      WriteComponentToStream(out, form.get());
      if (load > 1) {
        EXPECT_EQ(out.Data(), stored) << row.ClientWidth << ", stored again after load " << load;
      }
      stored = out.Data();
    }
  }
}

// A layout read into the existing window that changes only its client size:
// the controls it does not hold follow the new size as well, and the window
// stored and loaded anew stands the same.
TEST(StoredLayout, ControlsNotInALayoutReadIntoTheWindowFollowItsNewClientSize) {
  std::unique_ptr<TForm1> form = Load();
  TMemoryStream layout;
  TextLayoutToBinary("object Form1: TForm1\n  ClientHeight = 500\n  ClientWidth = 700\nend\n", layout, "size.layout");
  layout.SetPosition(0);
  ReadComponentFromStream(layout, form.get());
  EXPECT_EQ(form->TrainButton->GetTop(), 371 + 77);
  EXPECT_EQ(form->ListView1->GetHeight(), 343 + 77);
  EXPECT_EQ(form->ProgressBar1->GetTop(), 500 - 17);
  EXPECT_EQ(form->ProgressBar1->GetWidth(), 700);
  TMemoryStream stored;
  WriteComponentToStream(stored, form.get());
  stored.SetPosition(0);
  std::unique_ptr<TForm1> again(TForm1::CreateFromStream(stored));
  for (TControl* c : form->Controls()) {
    auto* other = dynamic_cast<TControl*>(again->FindComponent(c->GetName()));
    ASSERT_NE(other, nullptr) << c->GetName();
    EXPECT_EQ(other->GetTop(), c->GetTop()) << c->GetName();
    EXPECT_EQ(other->GetLeft(), c->GetLeft()) << c->GetName();
    EXPECT_EQ(other->GetWidth(), c->GetWidth()) << c->GetName();
    EXPECT_EQ(other->GetHeight(), c->GetHeight()) << c->GetName();
  }
}

// A window that raises in its Loaded (here: a stored TForm1 with no
// properties and no controls, 14 bytes) is freed again by the reader; under
// AddressSanitizer a leak would show.
TEST(StoredLayout, AWindowWhoseLoadedRaisesIsFreed) {
  TForm1::RegisterClasses();
  TMemoryStream in(std::vector<uint8_t>{0x54, 0x50, 0x46, 0x30, 0x06, 0x54, 0x46, 0x6F, 0x72, 0x6D, 0x31, 0x00, 0x00, 0x00});
  try {
    std::unique_ptr<TComponent> root(ReadComponentFromStream(in));
    ADD_FAILURE() << "made a window without controls";
  } catch (const EComponentError& e) {
    EXPECT_NE(std::string(e.what()).find("has no component ListView1"), std::string::npos) << e.what();
  }
}

// A layout that cannot make the window is refused with the reason; nothing
// of the half-made form is left.
TEST(StoredLayout, LayoutsThatCannotMakeTheWindow) {
  const struct {
    const char* Text;
    const char* Says;
  } rows[] = {
      {"object Form1: TForm1\nend", "has no component ListView1"},
      {"object Form1: TForm1\n  object ListView1: TLabel\n  end\nend", "ListView1 of Form1 is a TLabel, not a TListView"},
      {"object Form1: TForm1\n  object X: TNoSuchControl\n  end\nend", "TNoSuchControl is not registered"},
      {"object Form1: TForm1\n  object B: TButton\n    OnClick = NoSuchHandler\n  end\nend", "NoSuchHandler"},
      {"object Form1: TForm1\n  object L: TListView\n    LargeImages = Nothing\n  end\nend", "Nothing"},
  };
  for (const auto& r : rows) {
    TMemoryStream layout;
    TextLayoutToBinary(r.Text, layout, "bad.layout");
    layout.SetPosition(0);
    try {
      std::unique_ptr<TForm1> form(TForm1::CreateFromStream(layout));
      ADD_FAILURE() << "made a window from: " << r.Text;
    } catch (const Exception& e) {
      EXPECT_NE(std::string(e.what()).find(r.Says), std::string::npos) << e.what();
    }
  }
  // The embedded layout cut short: the reader's error.
  TMemoryStream whole = TForm1::EmbeddedLayout();
  for (size_t keep : {size_t(0), size_t(3), size_t(40), whole.Data().size() / 2, whole.Data().size() - 1}) {
    TMemoryStream cut(std::vector<uint8_t>(whole.Data().begin(), whole.Data().begin() + ptrdiff_t(keep)));
    EXPECT_THROW(std::unique_ptr<TForm1>(TForm1::CreateFromStream(cut)), EReadError) << keep;
  }
}

}  // namespace
