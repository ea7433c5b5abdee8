// The controls of the window toolkit: components of the component model that
// keep their whole state in memory (bounds, captions, items, thumbnails,
// progress) and compute their own geometry, so that a window made from a
// stored layout runs, and can be tested, without any GUI toolkit.
//
// A toolkit binding gives a control a peer (`TControlPeer`): the control
// tells its peer what changed, and the peer mirrors it on a real widget; the
// binding calls back `TButton::Click` and `TForm::SetClientSize` when the
// user clicks or resizes. Without peers nothing is drawn and nothing else
// changes.
//
// Geometry: a control's bounds are relative to its form's client area. When
// the client area changes size, each control follows its anchors (a side that
// is anchored keeps its distance to that edge of the client area; a control
// anchored on both opposite sides grows or shrinks) measured against the
// form's design size, and a control aligned to the bottom spans the whole
// width at the bottom edge.
//
// Threads: controls are used by the thread that runs the message loop only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Components.h"
#include "platform/Graphics.h"
#include "platform/ToolkitTypes.h"

// System colours (a toolkit colour with the high bit set names one).
inline constexpr TColor clBtnFace = static_cast<TColor>(static_cast<int32_t>(0x8000000F));
inline constexpr TColor clWindowText = static_cast<TColor>(static_cast<int32_t>(0x80000008));
inline constexpr TColor clWindow = static_cast<TColor>(static_cast<int32_t>(0x80000005));
// The font character set "default".
inline constexpr int32_t DEFAULT_CHARSET = 1;

// The named integer constants that stored layouts may use for colours and
// character sets ("clBtnFace", "DEFAULT_CHARSET"...), for tools that turn the
// text form of a layout into the stored one.
struct TNamedConstant {
  const char* Name;
  int32_t Value;
};
const std::vector<TNamedConstant>& ToolkitConstants();

enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = uint32_t;  // bit i stands for TAnchorKind i
inline constexpr TAnchors AnchorBit(TAnchorKind A) { return TAnchors(1) << A; }
inline constexpr TAnchors cDefaultAnchors = AnchorBit(akLeft) | AnchorBit(akTop);

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

const TTypeInfo& TypeInfoAnchorKind();
const TTypeInfo& TypeInfoAnchors();
const TTypeInfo& TypeInfoAlign();
const TTypeInfo& TypeInfoColor();

// What a control tells its peer.
enum class TPeerChange {
  pcBounds,      // Left, Top, Width or Height
  pcCaption,     // Caption
  pcEnabled,
  pcVisible,
  pcItemAdded,   // list view: item AIndex appended
  pcItemChanged, // list view: caption or thumbnail of item AIndex
  pcUpdate,      // list view: update bracket opened or closed
  pcImages,      // list view: LargeImages; image list: thumbnail AIndex appended
  pcProgress,    // progress bar: Min, Max or Position
  pcFont,        // form: font or colour
};

// The toolkit side of one control. The control does not own its peer; the
// binding that made it removes it (SetPeer(nullptr)) before freeing it.
class TControlPeer {
 public:
  virtual ~TControlPeer() = default;
  virtual void Changed(TPeerChange AChange, int32_t AIndex) = 0;
  // The control is being freed: the peer must not use it any more (a form's
  // peer may free itself here).
  virtual void ControlDestroyed() = 0;
};

class TForm;

// A width and a height [pixels].
class TDesignSize : public TPersistent {
 public:
  explicit TDesignSize(TPersistent* AOwner) : FOwner(AOwner) {}
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassType() const override { return StaticClass(); }
  TPersistent* GetOwner() override { return FOwner; }

  // The size read from the layout, which the controls' stored bounds were
  // relative to.
  int32_t GetWidth() const { return FWidth; }
  void SetWidth(int32_t AValue) { FWidth = AValue; }
  int32_t GetHeight() const { return FHeight; }
  void SetHeight(int32_t AValue) { FHeight = AValue; }
  // The size stored with the layout ("DesignSize.Width", "DesignSize.Height"):
  // once the form is loaded its controls stand where its client size puts
  // them, so the client size is what their stored bounds are relative to.
  // Storing and loading again then leaves every control where it is.
  int32_t GetStoredWidth() const;
  int32_t GetStoredHeight() const;

 private:
  bool FollowsClientSize() const;

  TPersistent* FOwner;
  int32_t FWidth = 0;
  int32_t FHeight = 0;
};

// The font of a form: name, height, colour, character set and style.
class TFont : public TPersistent {
 public:
  explicit TFont(TPersistent* AOwner) : FOwner(AOwner) {}
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassType() const override { return StaticClass(); }
  TPersistent* GetOwner() override { return FOwner; }
  void Assign(const TPersistent* ASource) override;

  int32_t GetCharset() const { return FCharset; }
  void SetCharset(int32_t AValue) { FCharset = AValue; }
  int32_t GetColor() const { return FColor; }
  void SetColor(int32_t AValue) { FColor = AValue; }
  // Negative: the height of the characters [pixels]; positive: the cell
  // height including internal leading [pixels].
  int32_t GetHeight() const { return FHeight; }
  void SetHeight(int32_t AValue) { FHeight = AValue; }
  const std::string& GetName() const { return FName; }
  void SetName(const std::string& AValue) { FName = AValue; }
  // Bold 1, italic 2, underline 4, strike-out 8.
  uint32_t GetStyle() const { return FStyle; }
  void SetStyle(uint32_t AValue) { FStyle = AValue; }

 private:
  TPersistent* FOwner;
  int32_t FCharset = DEFAULT_CHARSET;
  int32_t FColor = clWindowText;
  int32_t FHeight = -11;
  std::string FName = "Tahoma";
  uint32_t FStyle = 0;
};

// A visible control placed on a form (its owner).
class TControl : public TComponent {
 public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassType() const override { return StaticClass(); }

  int32_t GetLeft() const { return FLeft; }
  int32_t GetTop() const { return FTop; }
  int32_t GetWidth() const { return FWidth; }
  int32_t GetHeight() const { return FHeight; }
  void SetLeft(int32_t AValue) { SetBounds(AValue, FTop, FWidth, FHeight); }
  void SetTop(int32_t AValue) { SetBounds(FLeft, AValue, FWidth, FHeight); }
  void SetWidth(int32_t AValue) { SetBounds(FLeft, FTop, AValue, FHeight); }
  void SetHeight(int32_t AValue) { SetBounds(FLeft, FTop, FWidth, AValue); }
  // Places the control; the new bounds become the ones its anchors keep.
  // Negative widths and heights are taken as 0.
  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight);

  TAnchors GetAnchors() const { return FAnchors; }
  void SetAnchors(TAnchors AValue);
  TAlign GetAlign() const { return FAlign; }
  void SetAlign(TAlign AValue);
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool AValue);
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool AValue);
  const std::string& GetCaption() const { return FCaption; }
  void SetCaption(const std::string& AValue);

  // The form this control is placed on (its owner), or nullptr.
  TForm* Form() const;

  TControlPeer* Peer() const { return FPeer; }
  void SetPeer(TControlPeer* APeer) { FPeer = APeer; }

  // Follows the anchors and alignment after the client area of the form
  // changed to AClientWidth x AClientHeight.
  void ParentResized(int32_t AClientWidth, int32_t AClientHeight);

  void Loaded() override;

 protected:
  void NotifyPeer(TPeerChange AChange, int32_t AIndex = -1) {
    if (FPeer != nullptr) FPeer->Changed(AChange, AIndex);
  }

 private:
  // The bounds the anchors keep, and the client size they were set against.
  void RememberAnchorOrigin();
  void ApplyBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight);

  int32_t FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  int32_t FOriginLeft = 0, FOriginTop = 0, FOriginWidth = 0, FOriginHeight = 0;
  int32_t FOriginClientWidth = 0, FOriginClientHeight = 0;
  TAnchors FAnchors = cDefaultAnchors;
  TAlign FAlign = alNone;
  bool FEnabled = true;
  bool FVisible = true;
  std::string FCaption;
  TControlPeer* FPeer = nullptr;
};

// A control that can take the keyboard focus: it has a place in the tab order.
class TWinControl : public TControl {
 public:
  using TControl::TControl;
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassType() const override { return StaticClass(); }

  // -1 until set; the window orders its controls by it.
  int32_t GetTabOrder() const { return FTabOrder; }
  void SetTabOrder(int32_t AValue) { FTabOrder = AValue; }

 private:
  int32_t FTabOrder = -1;
};

// A line of text.
class TLabel : public TControl {
 public:
  using TControl::TControl;
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassType() const override { return StaticClass(); }

  // Whether the label takes the width of its text (default true). Only a
  // toolkit can measure text: its peer reports the width through
  // AdjustToText; without one the stored width stays.
  bool GetAutoSize() const { return FAutoSize; }
  void SetAutoSize(bool AValue) { FAutoSize = AValue; }
  // The caption as drawn is ATextWidth pixels wide.
  void AdjustToText(int32_t ATextWidth) {
    if (FAutoSize && ATextWidth != GetWidth()) SetWidth(ATextWidth);
  }

 private:
  bool FAutoSize = true;
};

// A push button; a click runs OnClick with the button as sender.
class TButton : public TWinControl {
 public:
  using TWinControl::TWinControl;
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassType() const override { return StaticClass(); }

  const TNotifyEvent& GetOnClick() const { return FOnClick; }
  void SetOnClick(const TNotifyEvent& AValue) { FOnClick = AValue; }
  // Runs OnClick when the button is enabled; errors of the handler reach
  // the caller.
  void Click();

 private:
  TNotifyEvent FOnClick;
};

// A list of 32 x 32 thumbnails (not visible), shared by the lists that show
// them.
class TImageList : public TComponent {
 public:
  // One thumbnail: the picture's storage, bottom row first, 8-bit grey.
  struct TThumbnail {
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint8_t> Pixels;
  };

  explicit TImageList(TComponent* AOwner) : TComponent(AOwner) {}
  ~TImageList() override;
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassType() const override { return StaticClass(); }

  int32_t GetWidth() const { return FWidth; }
  void SetWidth(int32_t AValue) { FWidth = AValue; }
  int32_t GetHeight() const { return FHeight; }
  void SetHeight(int32_t AValue) { FHeight = AValue; }

  // Appends APicture (no mask) and returns its index, Count() - 1.
  int32_t Add(const TBitmap& APicture);
  int32_t Count() const { return static_cast<int32_t>(FImages.size()); }
  // ERangeError "Index out of range = %d" outside 0..Count-1.
  const TThumbnail& Items(int32_t AIndex) const;
  const std::vector<TThumbnail>& Thumbnails() const { return FImages; }

  TControlPeer* Peer() const { return FPeer; }
  void SetPeer(TControlPeer* APeer) { FPeer = APeer; }

 private:
  int32_t FWidth = 16;
  int32_t FHeight = 16;
  std::vector<TThumbnail> FImages;
  TControlPeer* FPeer = nullptr;
};

// A list of items shown as large icons: the thumbnail above the caption.
class TListView : public TWinControl {
 public:
  struct TListItem {
    std::string Caption;
    int32_t ImageIndex = -1;  // -1: no thumbnail
  };

  using TWinControl::TWinControl;
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassType() const override { return StaticClass(); }

  // The thumbnails the items show (may be shared with other lists).
  TImageList* GetLargeImages() const { return FLargeImages; }
  void SetLargeImages(TImageList* AValue);

  // Appends an empty item and returns its index.
  int32_t AddItem();
  int32_t ItemCount() const { return static_cast<int32_t>(FItems.size()); }
  // ERangeError "Index out of range = %d" outside 0..ItemCount-1.
  const TListItem& Item(int32_t AIndex) const;
  void SetItemCaption(int32_t AIndex, const std::string& ACaption);
  void SetItemImageIndex(int32_t AIndex, int32_t AImageIndex);
  const std::vector<TListItem>& Items() const { return FItems; }

  // Suspends repainting while many items are added; brackets nest. EndUpdate
  // without a BeginUpdate does nothing.
  void BeginUpdate();
  void EndUpdate();
  int32_t UpdateCount() const { return FUpdateCount; }

  void Notification(TComponent* AComponent, TOperation AOperation) override;

 private:
  TListItem& ItemRef(int32_t AIndex);

  TImageList* FLargeImages = nullptr;
  std::vector<TListItem> FItems;
  int32_t FUpdateCount = 0;
};

// A progress bar: Position between Min and Max.
class TProgressBar : public TWinControl {
 public:
  using TWinControl::TWinControl;
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassType() const override { return StaticClass(); }

  int32_t GetMin() const { return FMin; }
  void SetMin(int32_t AValue);
  int32_t GetMax() const { return FMax; }
  void SetMax(int32_t AValue);
  // Kept within Min..Max.
  int32_t GetPosition() const { return FPosition; }
  void SetPosition(int32_t AValue);

 private:
  int32_t FMin = 0;
  int32_t FMax = 100;
  int32_t FPosition = 0;
};

// A top-level window. Its controls are the components it owns; its stored
// layout holds its own properties, then theirs.
class TForm : public TComponent {
 public:
  explicit TForm(TComponent* AOwner);
  ~TForm() override;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassType() const override { return StaticClass(); }

  // The stored position of the window on the screen.
  int32_t GetLeft() const { return FLeft; }
  void SetLeft(int32_t AValue) { FLeft = AValue; }
  int32_t GetTop() const { return FTop; }
  void SetTop(int32_t AValue) { FTop = AValue; }
  const std::string& GetCaption() const { return FCaption; }
  void SetCaption(const std::string& AValue);

  // The client area [pixels]. Changing it moves and sizes the controls by
  // their anchors and alignment.
  int32_t GetClientWidth() const { return FClientWidth; }
  void SetClientWidth(int32_t AValue) { SetClientSize(AValue, FClientHeight); }
  int32_t GetClientHeight() const { return FClientHeight; }
  void SetClientHeight(int32_t AValue) { SetClientSize(FClientWidth, AValue); }
  void SetClientSize(int32_t AWidth, int32_t AHeight);

  int32_t GetColor() const { return FColor; }
  void SetColor(int32_t AValue);
  TFont* GetFont() const { return FFont; }
  int32_t GetPixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int32_t AValue) { FPixelsPerInch = AValue; }
  // The height of a line of text the layout was made with [pixels].
  int32_t GetTextHeight() const { return FTextHeight; }
  void SetTextHeight(int32_t AValue) { FTextHeight = AValue; }
  // The client size the layout was designed at: the reference of the
  // controls' anchors (stored as "DesignSize.Width" and "DesignSize.Height").
  TDesignSize* GetDesignSize() const { return FDesignSize; }

  // The controls placed on the form, in creation order.
  std::vector<TControl*> Controls() const;

  TControlPeer* Peer() const { return FPeer; }
  void SetPeer(TControlPeer* APeer) { FPeer = APeer; }

  // The controls that the read did not load (a layout read into an existing
  // form need not hold them all) follow a client size the read changed; the
  // others do so in their own Loaded.
  void Loaded() override;

 private:
  int32_t FLeft = 0, FTop = 0;
  std::string FCaption;
  int32_t FClientWidth = 0, FClientHeight = 0;
  int32_t FColor = clBtnFace;
  TFont* FFont;
  int32_t FPixelsPerInch = 96;
  int32_t FTextHeight = 13;
  TDesignSize* FDesignSize;
  TControlPeer* FPeer = nullptr;
};

// Registers the control classes for creation by class name from stored
// layouts (their descriptions register themselves once made; this makes them
// all).
void RegisterControlClasses();
