// The control components without a toolkit: what they tell their peers,
// their ranges and errors, anchors and alignment, and the application's
// error report.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/Controls.h"
#include "platform/Forms.h"

namespace {

// Records what a control tells it.
class TRecordingPeer : public TControlPeer {
 public:
  void Changed(TPeerChange AChange, int32_t AIndex) override { Changes.emplace_back(AChange, AIndex); }
  void ControlDestroyed() override { Destroyed = true; }
  std::vector<std::pair<TPeerChange, int32_t>> Changes;
  bool Destroyed = false;
};

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FForm = std::make_unique<TForm>(nullptr);
    FForm->SetClientSize(400, 300);
  }
  template <class T>
  T* Make(const char* AName) {
    T* c = CreateComponent<T>(FForm.get());
    c->SetName(AName);
    return c;
  }
  std::unique_ptr<TForm> FForm;
};

TEST_F(ControlsTest, ListViewItemsUpdateBracketAndPeer) {
  auto* list = Make<TListView>("List");
  TRecordingPeer peer;
  list->SetPeer(&peer);
  list->BeginUpdate();
  list->BeginUpdate();
  EXPECT_EQ(list->AddItem(), 0);
  EXPECT_EQ(list->AddItem(), 1);
  list->SetItemCaption(1, "two");
  list->SetItemImageIndex(1, 7);
  list->EndUpdate();
  list->EndUpdate();
  list->EndUpdate();  // unmatched: nothing
  EXPECT_EQ(list->UpdateCount(), 0);
  const std::vector<std::pair<TPeerChange, int32_t>> expected = {
      {TPeerChange::pcUpdate, -1},      {TPeerChange::pcItemAdded, 0},   {TPeerChange::pcItemAdded, 1},
      {TPeerChange::pcItemChanged, 1},  {TPeerChange::pcItemChanged, 1}, {TPeerChange::pcUpdate, -1}};
  EXPECT_EQ(peer.Changes, expected);
  EXPECT_EQ(list->Item(1).Caption, "two");
  EXPECT_EQ(list->Item(1).ImageIndex, 7);
  EXPECT_EQ(list->Item(0).ImageIndex, -1);
  for (int32_t bad : {-1, 2}) {
    EXPECT_THROW(list->Item(bad), ERangeError);
    EXPECT_THROW(list->SetItemCaption(bad, "x"), ERangeError);
    EXPECT_THROW(list->SetItemImageIndex(bad, 0), ERangeError);
  }
  delete list;
  EXPECT_TRUE(peer.Destroyed);
}

TEST_F(ControlsTest, SharedImageListAndItsRelease) {
  auto* images = Make<TImageList>("Images");
  auto* a = Make<TListView>("A");
  auto* b = Make<TListView>("B");
  a->SetLargeImages(images);
  b->SetLargeImages(images);
  TBitmap picture;
  picture.SetSize(32, 32);
  picture.ScanLine(31)[0] = 9;  // first byte of the storage
  EXPECT_EQ(images->Add(picture), 0);
  EXPECT_EQ(images->Add(picture), 1);
  EXPECT_EQ(images->Items(1).Width, 32);
  EXPECT_EQ(images->Items(1).Pixels.size(), 1024u);
  EXPECT_EQ(images->Items(1).Pixels[0], 9);
  EXPECT_THROW(images->Items(2), ERangeError);
  delete images;
  EXPECT_EQ(a->GetLargeImages(), nullptr);
  EXPECT_EQ(b->GetLargeImages(), nullptr);
}

TEST_F(ControlsTest, ProgressStaysWithinItsRange) {
  auto* bar = Make<TProgressBar>("Bar");
  EXPECT_EQ(bar->GetMax(), 100);
  bar->SetPosition(150);
  EXPECT_EQ(bar->GetPosition(), 100);
  bar->SetMax(40);
  EXPECT_EQ(bar->GetPosition(), 40);
  bar->SetPosition(-3);
  EXPECT_EQ(bar->GetPosition(), 0);
  bar->SetMin(50);
  EXPECT_EQ(bar->GetMax(), 50);
  EXPECT_EQ(bar->GetPosition(), 50);
}

TEST_F(ControlsTest, ButtonClickRunsOnClickOnlyWhenEnabled) {
  auto* button = Make<TButton>("B");
  int clicks = 0;
  TObject* sender = nullptr;
  button->SetOnClick(TNotifyEvent([&](TObject* ASender) {
    ++clicks;
    sender = ASender;
  }));
  button->Click();
  button->SetEnabled(false);
  button->Click();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(sender, button);
}

// Anchors and alignment against a 400 x 300 client area made 500 x 360.
TEST_F(ControlsTest, AnchorsAndAlignmentFollowTheClientArea) {
  const struct {
    TAnchors Anchors;
    TAlign Align;
    int32_t Left, Top, Width, Height;  // expected after the resize
  } rows[] = {
      {cDefaultAnchors, alNone, 10, 20, 30, 40},
      {AnchorBit(akLeft) | AnchorBit(akBottom), alNone, 10, 80, 30, 40},
      {AnchorBit(akLeft) | AnchorBit(akTop) | AnchorBit(akBottom), alNone, 10, 20, 30, 100},
      {AnchorBit(akRight) | AnchorBit(akTop), alNone, 110, 20, 30, 40},
      {AnchorBit(akLeft) | AnchorBit(akRight) | AnchorBit(akTop) | AnchorBit(akBottom), alNone, 10, 20, 130, 100},
      {0, alNone, 60, 50, 30, 40},
      {cDefaultAnchors, alBottom, 0, 320, 500, 40},
      {cDefaultAnchors, alTop, 0, 0, 500, 40},
      {cDefaultAnchors, alClient, 0, 0, 500, 360},
  };
  std::vector<TControl*> controls;
  for (const auto& r : rows) {
    auto* c = CreateComponent<TLabel>(FForm.get());
    c->SetBounds(10, 20, 30, 40);
    c->SetAnchors(r.Anchors);
    c->SetAlign(r.Align);
    controls.push_back(c);
  }
  FForm->SetClientSize(500, 360);
  for (size_t i = 0; i < controls.size(); ++i) {
    EXPECT_EQ(controls[i]->GetLeft(), rows[i].Left) << i;
    EXPECT_EQ(controls[i]->GetTop(), rows[i].Top) << i;
    EXPECT_EQ(controls[i]->GetWidth(), rows[i].Width) << i;
    EXPECT_EQ(controls[i]->GetHeight(), rows[i].Height) << i;
  }
  // Back to the first size: every control where it was placed.
  FForm->SetClientSize(400, 300);
  EXPECT_EQ(controls[2]->GetHeight(), 40);
  EXPECT_EQ(controls[1]->GetTop(), 20);
  EXPECT_EQ(controls[6]->GetTop(), 260);
  EXPECT_EQ(controls[6]->GetWidth(), 400);
  // A client area smaller than a control: sizes stop at 0.
  FForm->SetClientSize(0, 0);
  EXPECT_EQ(controls[2]->GetHeight(), 0);
  EXPECT_EQ(controls[4]->GetWidth(), 0);
}

TEST(ApplicationTest, HandleEventReportsWhatTheHandlerThrows) {
  TApplication& application = TApplication::Instance();
  std::vector<std::string> reports;
  application.SetExceptionReporter([&](const std::string& AMessage) { reports.push_back(AMessage); });
  application.HandleEvent([] { throw EFOpenError("Cannot open file \"x.bmp\""); });
  application.HandleEvent([] { throw std::runtime_error("plain"); });
  application.HandleEvent([] { throw 42; });
  application.HandleEvent([] {});
  application.SetExceptionReporter(nullptr);
  const std::vector<std::string> expected = {"Cannot open file \"x.bmp\"", "plain", "Unknown error"};
  EXPECT_EQ(reports, expected);
}

}  // namespace
