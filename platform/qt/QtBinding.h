// The Qt 6 Widgets binding of the control components.
//
// Binding a form gives it and each of its controls a peer: the form becomes a
// top-level QWidget whose client area is the form's, labels become QLabels,
// buttons QPushButtons, list views QListWidgets in icon mode and progress
// bars QProgressBars, all placed at the controls' bounds; an image list gets
// a list of QIcons that every list view showing it shares. The controls keep
// their state; the widgets follow every change, a click on a button runs the
// control's Click through the application's standard error report, and a
// resize of the window resizes the form's client area, which moves the
// controls by their anchors.
//
// The binding makes the QApplication (unless one exists already) and must
// outlive the forms it bound or be destroyed after them; a form freed first
// frees its widgets itself.
//
// Threads: the GUI thread only.
#pragma once

#include <QIcon>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "platform/Controls.h"
#include "platform/Forms.h"

class QApplication;
class TQtFormWidget;

class TQtBinding : public IApplicationBinding {
 public:
  // Makes the QApplication from the program's arguments when there is none.
  TQtBinding(int& argc, char** argv);
  ~TQtBinding() override;
  TQtBinding(const TQtBinding&) = delete;
  TQtBinding& operator=(const TQtBinding&) = delete;

  // Gives AForm and its controls their widgets (once) and returns the window.
  QWidget* Bind(TForm* AForm);
  // The widget of a bound form or control, nullptr for others.
  QWidget* WidgetOf(const TComponent* AComponent) const;
  // The shared icons of a bound image list (one per thumbnail), or nullptr.
  const std::vector<QIcon>* IconsOf(const TImageList* AImageList) const;
  // The icon an image index of AImageList stands for (a null icon outside it).
  static QIcon IconOf(const TImageList* AImageList, int32_t AIndex);

  // IApplicationBinding
  void ShowMainForm(TForm* AForm) override;
  // Qt's event loop, with the application's message loop (component
  // timers) stepped from it.
  void Run() override;
  // QMessageBox::critical with the message.
  void ShowException(const std::string& AMessage) override;

  // Renders the bound window as it is shown to a PNG file; false when the
  // file cannot be written.
  bool SaveScreenshot(TForm* AForm, const std::string& AFileName);

 private:
  friend class TQtFormWidget;
  void Forget(TQtFormWidget* AWidget);

  std::unique_ptr<QApplication> FOwnApplication;
  std::vector<TQtFormWidget*> FForms;
};
