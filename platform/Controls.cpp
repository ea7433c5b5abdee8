#include "platform/Controls.h"

#include <algorithm>

const std::vector<TNamedConstant>& ToolkitConstants() {
  static const std::vector<TNamedConstant> constants = {
      {"clBlack", clBlack},         {"clWhite", clWhite},         {"clRed", clRed},
      {"clBtnFace", clBtnFace},     {"clWindowText", clWindowText}, {"clWindow", clWindow},
      {"DEFAULT_CHARSET", DEFAULT_CHARSET}, {"ANSI_CHARSET", 0},
  };
  return constants;
}

const TTypeInfo& TypeInfoAnchorKind() {
  static const TTypeInfo& t = MakeEnumTypeInfo("TAnchorKind", {"akLeft", "akTop", "akRight", "akBottom"});
  return t;
}
const TTypeInfo& TypeInfoAnchors() {
  static const TTypeInfo& t = MakeSetTypeInfo("TAnchors", TypeInfoAnchorKind());
  return t;
}
const TTypeInfo& TypeInfoAlign() {
  static const TTypeInfo& t =
      MakeEnumTypeInfo("TAlign", {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"});
  return t;
}
namespace {
const TTypeInfo& TypeInfoFontStyles() {
  static const TTypeInfo& element = MakeEnumTypeInfo("TFontStyle", {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"});
  static const TTypeInfo& t = MakeSetTypeInfo("TFontStyles", element);
  return t;
}
}  // namespace

// ---------------------------------------------------------------------------

const TClassInfo& TDesignSize::StaticClass() {
  static const TClassInfo info = TClassBuilder<TDesignSize>("TDesignSize", &TPersistent::StaticClass())
                                     .Integer("Width", &TDesignSize::GetStoredWidth, &TDesignSize::SetWidth)
                                     .Default(0)
                                     .Integer("Height", &TDesignSize::GetStoredHeight, &TDesignSize::SetHeight)
                                     .Default(0)
                                     .Build();
  return info;
}

bool TDesignSize::FollowsClientSize() const {
  const auto* form = dynamic_cast<const TForm*>(FOwner);
  // Also a client size of 0: the controls were placed against it.
  return form != nullptr && !form->HasState(TComponentStateFlag::csLoading);
}

int32_t TDesignSize::GetStoredWidth() const {
  return FollowsClientSize() ? static_cast<const TForm*>(FOwner)->GetClientWidth() : FWidth;
}

int32_t TDesignSize::GetStoredHeight() const {
  return FollowsClientSize() ? static_cast<const TForm*>(FOwner)->GetClientHeight() : FHeight;
}

const TClassInfo& TFont::StaticClass() {
  // Every property is stored, so that a layout says exactly which font it
  // was made with.
  static const TClassInfo info = TClassBuilder<TFont>("TFont", &TPersistent::StaticClass())
                                     .Integer("Charset", &TFont::GetCharset, &TFont::SetCharset)
                                     .Integer("Color", &TFont::GetColor, &TFont::SetColor)
                                     .Integer("Height", &TFont::GetHeight, &TFont::SetHeight)
                                     .String("Name", &TFont::GetName, &TFont::SetName)
                                     .Set("Style", TypeInfoFontStyles(), &TFont::GetStyle, &TFont::SetStyle)
                                     .Build();
  return info;
}

void TFont::Assign(const TPersistent* ASource) {
  const auto* source = dynamic_cast<const TFont*>(ASource);
  if (source == nullptr) {
    TPersistent::Assign(ASource);
    return;
  }
  FCharset = source->FCharset;
  FColor = source->FColor;
  FHeight = source->FHeight;
  FName = source->FName;
  FStyle = source->FStyle;
}

// ---------------------------------------------------------------------------

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {}

TControl::~TControl() {
  if (FPeer != nullptr) FPeer->ControlDestroyed();
}

const TClassInfo& TControl::StaticClass() {
  static const TClassInfo info = TClassBuilder<TControl>("TControl", &TComponent::StaticClass())
                                     .Integer("Left", &TControl::GetLeft, &TControl::SetLeft)
                                     .Integer("Top", &TControl::GetTop, &TControl::SetTop)
                                     .Integer("Width", &TControl::GetWidth, &TControl::SetWidth)
                                     .Integer("Height", &TControl::GetHeight, &TControl::SetHeight)
                                     .Set("Anchors", TypeInfoAnchors(), &TControl::GetAnchors, &TControl::SetAnchors)
                                     .Default(cDefaultAnchors)
                                     .Enumeration("Align", TypeInfoAlign(), &TControl::GetAlign, &TControl::SetAlign)
                                     .Default(alNone)
                                     .Boolean("Enabled", &TControl::GetEnabled, &TControl::SetEnabled)
                                     .Default(true)
                                     .Boolean("Visible", &TControl::GetVisible, &TControl::SetVisible)
                                     .Default(true)
                                     .String("Caption", &TControl::GetCaption, &TControl::SetCaption)
                                     .Build();
  return info;
}

TForm* TControl::Form() const { return dynamic_cast<TForm*>(Owner()); }

void TControl::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  ApplyBounds(ALeft, ATop, AWidth, AHeight);
  RememberAnchorOrigin();
}

void TControl::ApplyBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  AWidth = std::max(AWidth, 0);
  AHeight = std::max(AHeight, 0);
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  NotifyPeer(TPeerChange::pcBounds);
}

void TControl::RememberAnchorOrigin() {
  FOriginLeft = FLeft;
  FOriginTop = FTop;
  FOriginWidth = FWidth;
  FOriginHeight = FHeight;
  if (TForm* form = Form()) {
    FOriginClientWidth = form->GetClientWidth();
    FOriginClientHeight = form->GetClientHeight();
  }
}

void TControl::Loaded() {
  TComponent::Loaded();
  // Stored bounds are relative to the client size the layout was designed
  // at; a form whose client size differs moves the control accordingly.
  if (TForm* form = Form()) {
    if (form->GetDesignSize()->GetWidth() > 0 && form->GetDesignSize()->GetHeight() > 0) {
      FOriginClientWidth = form->GetDesignSize()->GetWidth();
      FOriginClientHeight = form->GetDesignSize()->GetHeight();
    }
    ParentResized(form->GetClientWidth(), form->GetClientHeight());
  }
}

void TControl::ParentResized(int32_t AClientWidth, int32_t AClientHeight) {
  switch (FAlign) {
    case alTop:
      ApplyBounds(0, 0, AClientWidth, FHeight);
      return;
    case alBottom:
      ApplyBounds(0, AClientHeight - FHeight, AClientWidth, FHeight);
      return;
    case alLeft:
      ApplyBounds(0, 0, FWidth, AClientHeight);
      return;
    case alRight:
      ApplyBounds(AClientWidth - FWidth, 0, FWidth, AClientHeight);
      return;
    case alClient:
      ApplyBounds(0, 0, AClientWidth, AClientHeight);
      return;
    case alNone:
      break;
  }
  const int32_t dx = AClientWidth - FOriginClientWidth;
  const int32_t dy = AClientHeight - FOriginClientHeight;
  const auto has = [&](TAnchorKind k) { return (FAnchors & AnchorBit(k)) != 0; };
  int32_t left = FOriginLeft, width = FOriginWidth, top = FOriginTop, height = FOriginHeight;
  if (has(akRight)) {
    if (has(akLeft))
      width += dx;
    else
      left += dx;
  } else if (!has(akLeft)) {
    left += dx / 2;  // anchored on neither side: keeps its relative place
  }
  if (has(akBottom)) {
    if (has(akTop))
      height += dy;
    else
      top += dy;
  } else if (!has(akTop)) {
    top += dy / 2;
  }
  ApplyBounds(left, top, width, height);
}

void TControl::SetAnchors(TAnchors AValue) {
  FAnchors = AValue & (AnchorBit(akLeft) | AnchorBit(akTop) | AnchorBit(akRight) | AnchorBit(akBottom));
  RememberAnchorOrigin();
}

void TControl::SetAlign(TAlign AValue) {
  if (AValue < alNone || AValue > alClient) throw ERangeError(Format("Invalid alignment %d", int(AValue)));
  FAlign = AValue;
  if (FAlign != alNone)
    if (TForm* form = Form(); form != nullptr && form->GetClientWidth() > 0) {
      ParentResized(form->GetClientWidth(), form->GetClientHeight());
    }
}

void TControl::SetEnabled(bool AValue) {
  if (AValue == FEnabled) return;
  FEnabled = AValue;
  NotifyPeer(TPeerChange::pcEnabled);
}

void TControl::SetVisible(bool AValue) {
  if (AValue == FVisible) return;
  FVisible = AValue;
  NotifyPeer(TPeerChange::pcVisible);
}

void TControl::SetCaption(const std::string& AValue) {
  if (AValue == FCaption) return;
  FCaption = AValue;
  NotifyPeer(TPeerChange::pcCaption);
}

// ---------------------------------------------------------------------------

const TClassInfo& TWinControl::StaticClass() {
  static const TClassInfo info = TClassBuilder<TWinControl>("TWinControl", &TControl::StaticClass())
                                     .Integer("TabOrder", &TWinControl::GetTabOrder, &TWinControl::SetTabOrder)
                                     .Default(-1)
                                     .Build();
  return info;
}

const TClassInfo& TLabel::StaticClass() {
  static const TClassInfo info = TClassBuilder<TLabel>("TLabel", &TControl::StaticClass())
                                     .Boolean("AutoSize", &TLabel::GetAutoSize, &TLabel::SetAutoSize)
                                     .Default(true)
                                     .Creates()
                                     .Build();
  return info;
}

const TClassInfo& TButton::StaticClass() {
  static const TClassInfo info = TClassBuilder<TButton>("TButton", &TWinControl::StaticClass())
                                     .Event("OnClick", &TButton::GetOnClick, &TButton::SetOnClick)
                                     .Creates()
                                     .Build();
  return info;
}

void TButton::Click() {
  if (GetEnabled() && FOnClick) FOnClick(this);
}

// ---------------------------------------------------------------------------

TImageList::~TImageList() {
  if (FPeer != nullptr) FPeer->ControlDestroyed();
}

const TClassInfo& TImageList::StaticClass() {
  static const TClassInfo info = TClassBuilder<TImageList>("TImageList", &TComponent::StaticClass())
                                     .Integer("Height", &TImageList::GetHeight, &TImageList::SetHeight)
                                     .Default(16)
                                     .Integer("Width", &TImageList::GetWidth, &TImageList::SetWidth)
                                     .Default(16)
                                     .Creates()
                                     .Build();
  return info;
}

int32_t TImageList::Add(const TBitmap& APicture) {
  TThumbnail t;
  t.Width = APicture.Width();
  t.Height = APicture.Height();
  if (!APicture.Empty()) {
    const uint8_t* start = APicture.ScanLine(APicture.Height() - 1);  // bottom row: start of the storage
    t.Pixels.assign(start, start + APicture.PixelDataSize());
  }
  FImages.push_back(std::move(t));
  const int32_t index = Count() - 1;
  if (FPeer != nullptr) FPeer->Changed(TPeerChange::pcImages, index);
  return index;
}

const TImageList::TThumbnail& TImageList::Items(int32_t AIndex) const {
  if (AIndex < 0 || AIndex >= Count()) throw ERangeError(Format("Index out of range = %d", AIndex));
  return FImages[static_cast<size_t>(AIndex)];
}

// ---------------------------------------------------------------------------

const TClassInfo& TListView::StaticClass() {
  static const TClassInfo info =
      TClassBuilder<TListView>("TListView", &TWinControl::StaticClass())
          .Class("LargeImages", TImageList::StaticClass(), &TListView::GetLargeImages, &TListView::SetLargeImages)
          .Creates()
          .Build();
  return info;
}

void TListView::SetLargeImages(TImageList* AValue) {
  if (AValue == FLargeImages) return;
  if (FLargeImages != nullptr) FLargeImages->RemoveFreeNotification(this);
  FLargeImages = AValue;
  if (FLargeImages != nullptr) FLargeImages->FreeNotification(this);
  NotifyPeer(TPeerChange::pcImages);
}

void TListView::Notification(TComponent* AComponent, TOperation AOperation) {
  TWinControl::Notification(AComponent, AOperation);
  if (AOperation == TOperation::opRemove && AComponent == FLargeImages) {
    FLargeImages = nullptr;
    NotifyPeer(TPeerChange::pcImages);
  }
}

int32_t TListView::AddItem() {
  FItems.emplace_back();
  const int32_t index = ItemCount() - 1;
  NotifyPeer(TPeerChange::pcItemAdded, index);
  return index;
}

TListView::TListItem& TListView::ItemRef(int32_t AIndex) {
  if (AIndex < 0 || AIndex >= ItemCount()) throw ERangeError(Format("Index out of range = %d", AIndex));
  return FItems[static_cast<size_t>(AIndex)];
}

const TListView::TListItem& TListView::Item(int32_t AIndex) const {
  return const_cast<TListView*>(this)->ItemRef(AIndex);
}

void TListView::SetItemCaption(int32_t AIndex, const std::string& ACaption) {
  ItemRef(AIndex).Caption = ACaption;
  NotifyPeer(TPeerChange::pcItemChanged, AIndex);
}

void TListView::SetItemImageIndex(int32_t AIndex, int32_t AImageIndex) {
  ItemRef(AIndex).ImageIndex = AImageIndex;
  NotifyPeer(TPeerChange::pcItemChanged, AIndex);
}

void TListView::BeginUpdate() {
  if (++FUpdateCount == 1) NotifyPeer(TPeerChange::pcUpdate);
}

void TListView::EndUpdate() {
  if (FUpdateCount == 0) return;
  if (--FUpdateCount == 0) NotifyPeer(TPeerChange::pcUpdate);
}

// ---------------------------------------------------------------------------

const TClassInfo& TProgressBar::StaticClass() {
  static const TClassInfo info = TClassBuilder<TProgressBar>("TProgressBar", &TWinControl::StaticClass())
                                     .Integer("Min", &TProgressBar::GetMin, &TProgressBar::SetMin)
                                     .Default(0)
                                     .Integer("Max", &TProgressBar::GetMax, &TProgressBar::SetMax)
                                     .Default(100)
                                     .Integer("Position", &TProgressBar::GetPosition, &TProgressBar::SetPosition)
                                     .Default(0)
                                     .Creates()
                                     .Build();
  return info;
}

void TProgressBar::SetMin(int32_t AValue) {
  FMin = AValue;
  if (FMax < FMin) FMax = FMin;
  FPosition = std::clamp(FPosition, FMin, FMax);
  NotifyPeer(TPeerChange::pcProgress);
}

void TProgressBar::SetMax(int32_t AValue) {
  FMax = AValue;
  if (FMin > FMax) FMin = FMax;
  FPosition = std::clamp(FPosition, FMin, FMax);
  NotifyPeer(TPeerChange::pcProgress);
}

void TProgressBar::SetPosition(int32_t AValue) {
  FPosition = std::clamp(AValue, FMin, FMax);
  NotifyPeer(TPeerChange::pcProgress);
}

// ---------------------------------------------------------------------------

TForm::TForm(TComponent* AOwner) : TComponent(AOwner), FFont(new TFont(this)), FDesignSize(new TDesignSize(this)) {}

TForm::~TForm() {
  // The controls go first (the base frees them), while font and design size
  // are still there for anything that asks during their destruction.
  while (ComponentCount() > 0) delete Components(ComponentCount() - 1);
  if (FPeer != nullptr) FPeer->ControlDestroyed();
  delete FDesignSize;
  delete FFont;
}

const TClassInfo& TForm::StaticClass() {
  static const TClassInfo info =
      TClassBuilder<TForm>("TForm", &TComponent::StaticClass())
          .Integer("Left", &TForm::GetLeft, &TForm::SetLeft)
          .Default(0)
          .Integer("Top", &TForm::GetTop, &TForm::SetTop)
          .Default(0)
          .String("Caption", &TForm::GetCaption, &TForm::SetCaption)
          .Integer("ClientHeight", &TForm::GetClientHeight, &TForm::SetClientHeight)
          .Integer("ClientWidth", &TForm::GetClientWidth, &TForm::SetClientWidth)
          .Integer("Color", &TForm::GetColor, &TForm::SetColor)
          .Class("Font", TFont::StaticClass(), &TForm::GetFont, nullptr)
          .Class("DesignSize", TDesignSize::StaticClass(), &TForm::GetDesignSize, nullptr)
          .Integer("PixelsPerInch", &TForm::GetPixelsPerInch, &TForm::SetPixelsPerInch)
          .Integer("TextHeight", &TForm::GetTextHeight, &TForm::SetTextHeight)
          .Build();
  return info;
}

void TForm::SetCaption(const std::string& AValue) {
  if (AValue == FCaption) return;
  FCaption = AValue;
  if (FPeer != nullptr) FPeer->Changed(TPeerChange::pcCaption, -1);
}

void TForm::SetColor(int32_t AValue) {
  FColor = AValue;
  if (FPeer != nullptr) FPeer->Changed(TPeerChange::pcFont, -1);
}

void TForm::SetClientSize(int32_t AWidth, int32_t AHeight) {
  AWidth = std::max(AWidth, 0);
  AHeight = std::max(AHeight, 0);
  if (AWidth == FClientWidth && AHeight == FClientHeight) return;
  FClientWidth = AWidth;
  FClientHeight = AHeight;
  // While the layout is read, the controls take their stored bounds as they
  // come; they follow the client area once loaded.
  if (!HasState(TComponentStateFlag::csLoading))
    for (TControl* c : Controls()) c->ParentResized(FClientWidth, FClientHeight);
  if (FPeer != nullptr) FPeer->Changed(TPeerChange::pcBounds, -1);
}

void TForm::Loaded() {
  TComponent::Loaded();
  for (TControl* c : Controls())
    if (!c->HasState(TComponentStateFlag::csLoading)) c->ParentResized(FClientWidth, FClientHeight);
}

std::vector<TControl*> TForm::Controls() const {
  std::vector<TControl*> controls;
  for (int32_t i = 0; i < ComponentCount(); ++i)
    if (auto* c = dynamic_cast<TControl*>(Components(i))) controls.push_back(c);
  return controls;
}

void RegisterControlClasses() {
  RegisterClass(TLabel::StaticClass());
  RegisterClass(TButton::StaticClass());
  RegisterClass(TImageList::StaticClass());
  RegisterClass(TListView::StaticClass());
  RegisterClass(TProgressBar::StaticClass());
}
