// The application object: initialises the toolkit, holds the main window and
// runs the message loop, and is the application's standard error report.
//
// The toolkit itself comes in through a binding (`IApplicationBinding`): the
// Qt binding shows the main window with widgets and runs Qt's event loop.
// Without a binding the application has no window to show; the headless
// program drives the main window's handlers itself.
//
// Start-up order of a program: the library registrations, Initialize, the
// task-bar setting, the main window from its stored layout, Run. Close-down
// goes the other way: the main window is freed, then the binding.
//
// Threads: the application object is used by the thread that runs the loop.
#pragma once

#include <exception>
#include <functional>
#include <string>

class TForm;

class IApplicationBinding {
 public:
  virtual ~IApplicationBinding() = default;
  // Gives AForm and its controls their widgets and shows the window.
  virtual void ShowMainForm(TForm* AForm) = 0;
  // Runs the toolkit's event loop until the main window is closed.
  virtual void Run() = 0;
  // Shows AMessage in the toolkit's error dialog and waits for the user.
  virtual void ShowException(const std::string& AMessage) = 0;
};

class TApplication {
 public:
  using TExceptionReporter = std::function<void(const std::string& AMessage)>;

  // The program's application object.
  static TApplication& Instance();

  // Initialises the application (once; later calls do nothing).
  void Initialize();
  bool Initialized() const { return FInitialized; }

  // Whether the main window has a task-bar button of its own. Kept for the
  // start-up sequence; the toolkits used here give every top-level window its
  // own button, so the setting changes nothing.
  bool GetMainFormOnTaskBar() const { return FMainFormOnTaskBar; }
  void SetMainFormOnTaskBar(bool AValue) { FMainFormOnTaskBar = AValue; }

  void SetBinding(IApplicationBinding* ABinding) { FBinding = ABinding; }
  IApplicationBinding* Binding() const { return FBinding; }

  // The main window (not owned).
  TForm* MainForm() const { return FMainForm; }
  void SetMainForm(TForm* AForm) { FMainForm = AForm; }

  // Shows the main window through the binding and runs its event loop until
  // the window is closed. Without a binding or a main window it returns at
  // once.
  void Run();

  // The standard error report: the message of AError goes to the reporter
  // hook when one is set, else to the binding's error dialog, else to
  // standard error. Never throws.
  void ShowException(const std::exception& AError);
  void ShowException(const std::string& AMessage);
  // Runs ACall and reports whatever it throws; the way every handler that a
  // toolkit event starts is called.
  void HandleEvent(const std::function<void()>& ACall);
  // Replaces the report (tests capture it); an empty hook restores it.
  void SetExceptionReporter(TExceptionReporter AReporter) { FReporter = std::move(AReporter); }

 private:
  bool FInitialized = false;
  bool FMainFormOnTaskBar = false;
  IApplicationBinding* FBinding = nullptr;
  TForm* FMainForm = nullptr;
  TExceptionReporter FReporter;
};
