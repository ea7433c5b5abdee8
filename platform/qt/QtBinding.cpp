#include "platform/qt/QtBinding.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QTimer>
#include <algorithm>
#include <cstdlib>

#include "platform/MessageLoop.h"

namespace {

QString ToQt(const std::string& AText) { return QString::fromUtf8(AText.data(), static_cast<qsizetype>(AText.size())); }

// A toolkit colour as Qt shows it: system colours from the application's
// palette, plain ones as 0x00BBGGRR.
QColor ColorOf(int32_t AColor) {
  if (AColor == clBtnFace) return QApplication::palette().color(QPalette::Button);
  if (AColor == clWindowText) return QApplication::palette().color(QPalette::WindowText);
  if (AColor == clWindow) return QApplication::palette().color(QPalette::Base);
  const auto c = static_cast<uint32_t>(AColor);
  return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

// A thumbnail as an icon: the 8-bit pixels as grey levels, rows turned from
// the storage's bottom-up order into Qt's top-down one.
QIcon MakeIcon(const TImageList::TThumbnail& AThumbnail) {
  if (AThumbnail.Width <= 0 || AThumbnail.Height <= 0) return QIcon();
  const size_t stride = AThumbnail.Pixels.size() / size_t(AThumbnail.Height);
  if (stride < size_t(AThumbnail.Width)) return QIcon();
  QImage image(AThumbnail.Width, AThumbnail.Height, QImage::Format_Grayscale8);
  for (int32_t row = 0; row < AThumbnail.Height; ++row) {
    const uint8_t* from = AThumbnail.Pixels.data() + size_t(AThumbnail.Height - 1 - row) * stride;
    std::copy(from, from + AThumbnail.Width, image.scanLine(row));
  }
  return QIcon(QPixmap::fromImage(image));
}

// The shared icons of one image list.
class TQtImageListPeer : public TControlPeer {
 public:
  explicit TQtImageListPeer(TImageList* AList) : FList(AList) {
    for (const TImageList::TThumbnail& t : AList->Thumbnails()) Icons.push_back(MakeIcon(t));
    FList->SetPeer(this);
  }
  ~TQtImageListPeer() override {
    if (FList != nullptr) FList->SetPeer(nullptr);
  }
  void Changed(TPeerChange AChange, int32_t AIndex) override {
    if (AChange != TPeerChange::pcImages || FList == nullptr) return;
    while (Icons.size() < size_t(FList->Count())) Icons.push_back(MakeIcon(FList->Items(int32_t(Icons.size()))));
    (void)AIndex;
  }
  void ControlDestroyed() override { FList = nullptr; }
  TImageList* List() const { return FList; }

  std::vector<QIcon> Icons;

 private:
  TImageList* FList;
};

// A control's widget. The widget is a child of the form's widget, which
// frees it; the peer object belongs to the form's widget too.
class TQtControlPeer : public TControlPeer {
 public:
  TQtControlPeer(TControl* AControl, QWidget* AWidget) : FControl(AControl), FWidget(AWidget) {
    FControl->SetPeer(this);
  }
  ~TQtControlPeer() override {
    if (FControl != nullptr) FControl->SetPeer(nullptr);
  }
  void Changed(TPeerChange AChange, int32_t AIndex) override {
    if (FControl == nullptr) return;
    switch (AChange) {
      case TPeerChange::pcBounds:
        FWidget->setGeometry(FControl->GetLeft(), FControl->GetTop(), FControl->GetWidth(), FControl->GetHeight());
        return;
      case TPeerChange::pcEnabled:
        FWidget->setEnabled(FControl->GetEnabled());
        return;
      case TPeerChange::pcVisible:
        FWidget->setVisible(FControl->GetVisible());
        return;
      default:
        Update(AChange, AIndex);
    }
  }
  void ControlDestroyed() override { FControl = nullptr; }
  // Brings the widget in line with the control as a whole.
  void Sync() {
    Changed(TPeerChange::pcBounds, -1);
    Changed(TPeerChange::pcEnabled, -1);
    Changed(TPeerChange::pcCaption, -1);
    FWidget->setVisible(FControl->GetVisible());
    SyncOwn();
  }
  TControl* Control() const { return FControl; }
  QWidget* Widget() const { return FWidget; }

 protected:
  virtual void Update(TPeerChange AChange, int32_t AIndex) = 0;
  virtual void SyncOwn() {}

  TControl* FControl;
  QWidget* FWidget;
};

class TQtLabelPeer : public TQtControlPeer {
 public:
  TQtLabelPeer(TLabel* ALabel, QWidget* AParent) : TQtControlPeer(ALabel, new QLabel(AParent)) {}

 protected:
  void Update(TPeerChange AChange, int32_t) override {
    if (AChange != TPeerChange::pcCaption) return;
    auto* label = static_cast<QLabel*>(FWidget);
    label->setText(ToQt(FControl->GetCaption()));
    static_cast<TLabel*>(FControl)->AdjustToText(label->fontMetrics().horizontalAdvance(label->text()));
  }
};

class TQtButtonPeer : public TQtControlPeer {
 public:
  TQtButtonPeer(TButton* AButton, QWidget* AParent) : TQtControlPeer(AButton, new QPushButton(AParent)) {
    auto* button = static_cast<QPushButton*>(FWidget);
    QObject::connect(button, &QPushButton::clicked, button, [this] {
      // An error of the handler goes to the standard error report; the
      // window stays as the handler left it.
      TApplication::Instance().HandleEvent([this] {
        if (auto* b = dynamic_cast<TButton*>(FControl)) b->Click();
      });
    });
  }

 protected:
  void Update(TPeerChange AChange, int32_t) override {
    if (AChange == TPeerChange::pcCaption) static_cast<QPushButton*>(FWidget)->setText(ToQt(FControl->GetCaption()));
  }
};

class TQtProgressBarPeer : public TQtControlPeer {
 public:
  TQtProgressBarPeer(TProgressBar* ABar, QWidget* AParent) : TQtControlPeer(ABar, new QProgressBar(AParent)) {
    static_cast<QProgressBar*>(FWidget)->setTextVisible(false);
  }

 protected:
  void Update(TPeerChange AChange, int32_t) override {
    if (AChange != TPeerChange::pcProgress) return;
    auto* bar = static_cast<QProgressBar*>(FWidget);
    auto* control = static_cast<TProgressBar*>(FControl);
    bar->setRange(control->GetMin(), control->GetMax());
    bar->setValue(control->GetPosition());
  }
  void SyncOwn() override { Update(TPeerChange::pcProgress, -1); }
};

class TQtListViewPeer : public TQtControlPeer {
 public:
  TQtListViewPeer(TListView* AList, QWidget* AParent) : TQtControlPeer(AList, new QListWidget(AParent)) {
    auto* list = static_cast<QListWidget*>(FWidget);
    list->setViewMode(QListView::IconMode);
    list->setIconSize(QSize(32, 32));
    list->setGridSize(QSize(70, 66));
    list->setMovement(QListView::Static);
    list->setResizeMode(QListView::Adjust);
    list->setFlow(QListView::LeftToRight);
    list->setWrapping(true);
    list->setWordWrap(true);
    list->setUniformItemSizes(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
  }

 protected:
  TListView* ListView() const { return static_cast<TListView*>(FControl); }
  QListWidget* List() const { return static_cast<QListWidget*>(FWidget); }

  void SetItem(QListWidgetItem* AItem, const TListView::TListItem& AFrom) {
    AItem->setText(ToQt(AFrom.Caption));
    AItem->setData(Qt::UserRole, AFrom.ImageIndex);
    AItem->setIcon(TQtBinding::IconOf(ListView()->GetLargeImages(), AFrom.ImageIndex));
  }

  void Update(TPeerChange AChange, int32_t AIndex) override {
    switch (AChange) {
      case TPeerChange::pcItemAdded: {
        auto* item = new QListWidgetItem(List());
        SetItem(item, ListView()->Item(AIndex));
        return;
      }
      case TPeerChange::pcItemChanged:
        if (QListWidgetItem* item = List()->item(AIndex)) SetItem(item, ListView()->Item(AIndex));
        return;
      case TPeerChange::pcImages:
        for (int32_t i = 0; i < List()->count(); ++i) SetItem(List()->item(i), ListView()->Item(i));
        return;
      case TPeerChange::pcUpdate:
        List()->setUpdatesEnabled(ListView()->UpdateCount() == 0);
        return;
      default:
        return;
    }
  }
  void SyncOwn() override {
    List()->clear();
    for (int32_t i = 0; i < ListView()->ItemCount(); ++i) SetItem(new QListWidgetItem(List()), ListView()->Item(i));
    List()->setUpdatesEnabled(ListView()->UpdateCount() == 0);
  }
};

}  // namespace

// The window of a form: its client area is the form's.
class TQtFormWidget : public QWidget, public TControlPeer {
 public:
  TQtFormWidget(TQtBinding* ABinding, TForm* AForm) : FBinding(ABinding), FForm(AForm) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAutoFillBackground(true);
    // Image lists first: the lists look their icons up in them.
    for (int32_t i = 0; i < AForm->ComponentCount(); ++i)
      if (auto* images = dynamic_cast<TImageList*>(AForm->Components(i)))
        FImages.push_back(std::make_unique<TQtImageListPeer>(images));
    for (TControl* c : AForm->Controls()) {
      std::unique_ptr<TQtControlPeer> peer;
      if (auto* label = dynamic_cast<TLabel*>(c))
        peer = std::make_unique<TQtLabelPeer>(label, this);
      else if (auto* button = dynamic_cast<TButton*>(c))
        peer = std::make_unique<TQtButtonPeer>(button, this);
      else if (auto* list = dynamic_cast<TListView*>(c))
        peer = std::make_unique<TQtListViewPeer>(list, this);
      else if (auto* bar = dynamic_cast<TProgressBar*>(c))
        peer = std::make_unique<TQtProgressBarPeer>(bar, this);
      if (peer) FControls.push_back(std::move(peer));
    }
    ApplyLook();
    setWindowTitle(ToQt(AForm->GetCaption()));
    move(AForm->GetLeft(), AForm->GetTop());
    resize(AForm->GetClientWidth(), AForm->GetClientHeight());
    for (auto& p : FControls) p->Sync();
    // The tab order of the layout.
    std::vector<std::pair<int32_t, QWidget*>> order;
    for (auto& p : FControls)
      if (auto* w = dynamic_cast<TWinControl*>(p->Control()); w != nullptr && w->GetTabOrder() >= 0)
        order.emplace_back(w->GetTabOrder(), p->Widget());
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1].second, order[i].second);
    AForm->SetPeer(this);
  }

  ~TQtFormWidget() override {
    FControls.clear();
    FImages.clear();
    if (FForm != nullptr) FForm->SetPeer(nullptr);
    if (FBinding != nullptr) FBinding->Forget(this);
  }

  void Changed(TPeerChange AChange, int32_t) override {
    if (FForm == nullptr) return;
    switch (AChange) {
      case TPeerChange::pcCaption:
        setWindowTitle(ToQt(FForm->GetCaption()));
        return;
      case TPeerChange::pcBounds:
        if (width() != FForm->GetClientWidth() || height() != FForm->GetClientHeight())
          resize(FForm->GetClientWidth(), FForm->GetClientHeight());
        return;
      case TPeerChange::pcFont:
        ApplyLook();
        return;
      default:
        return;
    }
  }

  // The form is being freed (its controls are gone already): the window goes
  // with it.
  void ControlDestroyed() override {
    FForm = nullptr;
    delete this;
  }

  void Detach() { FBinding = nullptr; }

  QWidget* WidgetOf(const TComponent* AComponent) const {
    if (AComponent == FForm) return const_cast<TQtFormWidget*>(this);
    for (const auto& p : FControls)
      if (p->Control() == AComponent) return p->Widget();
    return nullptr;
  }
  const std::vector<QIcon>* IconsOf(const TImageList* AList) const {
    for (const auto& p : FImages)
      if (p->List() == AList) return &p->Icons;
    return nullptr;
  }

 protected:
  void resizeEvent(QResizeEvent* AEvent) override {
    QWidget::resizeEvent(AEvent);
    if (FForm != nullptr) FForm->SetClientSize(AEvent->size().width(), AEvent->size().height());
  }

 private:
  void ApplyLook() {
    TFont* font = FForm->GetFont();
    QFont f(ToQt(font->GetName()));
    f.setPixelSize(std::max(1, std::abs(font->GetHeight())));
    f.setBold((font->GetStyle() & 1) != 0);
    f.setItalic((font->GetStyle() & 2) != 0);
    f.setUnderline((font->GetStyle() & 4) != 0);
    f.setStrikeOut((font->GetStyle() & 8) != 0);
    setFont(f);
    QPalette p = palette();
    p.setColor(QPalette::Window, ColorOf(FForm->GetColor()));
    p.setColor(QPalette::WindowText, ColorOf(font->GetColor()));
    setPalette(p);
  }

  TQtBinding* FBinding;
  TForm* FForm;
  std::vector<std::unique_ptr<TQtImageListPeer>> FImages;
  std::vector<std::unique_ptr<TQtControlPeer>> FControls;
};

// ---------------------------------------------------------------------------

TQtBinding::TQtBinding(int& argc, char** argv) {
  if (QApplication::instance() == nullptr) FOwnApplication = std::make_unique<QApplication>(argc, argv);
}

TQtBinding::~TQtBinding() {
  // Forms still bound lose their widgets now; they keep working without.
  std::vector<TQtFormWidget*> forms = FForms;
  for (TQtFormWidget* w : forms) {
    w->Detach();
    delete w;
  }
  FForms.clear();
  if (TApplication::Instance().Binding() == this) TApplication::Instance().SetBinding(nullptr);
}

void TQtBinding::Forget(TQtFormWidget* AWidget) { std::erase(FForms, AWidget); }

QWidget* TQtBinding::Bind(TForm* AForm) {
  if (QWidget* w = WidgetOf(AForm)) return w;
  auto* widget = new TQtFormWidget(this, AForm);
  FForms.push_back(widget);
  return widget;
}

QWidget* TQtBinding::WidgetOf(const TComponent* AComponent) const {
  for (TQtFormWidget* f : FForms)
    if (QWidget* w = f->WidgetOf(AComponent)) return w;
  return nullptr;
}

const std::vector<QIcon>* TQtBinding::IconsOf(const TImageList* AImageList) const {
  for (TQtFormWidget* f : FForms)
    if (const std::vector<QIcon>* icons = f->IconsOf(AImageList)) return icons;
  return nullptr;
}

QIcon TQtBinding::IconOf(const TImageList* AImageList, int32_t AIndex) {
  if (AImageList == nullptr || AIndex < 0) return QIcon();
  auto* peer = dynamic_cast<TQtImageListPeer*>(AImageList->Peer());
  if (peer == nullptr || size_t(AIndex) >= peer->Icons.size()) return QIcon();
  return peer->Icons[size_t(AIndex)];
}

void TQtBinding::ShowMainForm(TForm* AForm) { Bind(AForm)->show(); }

void TQtBinding::Run() {
  // Component timers tick on the application's message loop; Qt's loop steps
  // it often enough for their intervals of a few hundred milliseconds.
  QTimer pump;
  QObject::connect(&pump, &QTimer::timeout, [] { TMessageLoop::Application().ProcessMessages(); });
  pump.start(10);
  QApplication::exec();
}

void TQtBinding::ShowException(const std::string& AMessage) {
  QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), ToQt(AMessage));
}

bool TQtBinding::SaveScreenshot(TForm* AForm, const std::string& AFileName) {
  QWidget* w = Bind(AForm);
  QApplication::processEvents();
  return w->grab().save(ToQt(AFileName), "PNG");
}
