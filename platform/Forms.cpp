#include "platform/Forms.h"

#include <cstdio>

#include "platform/Controls.h"

TApplication& TApplication::Instance() {
  static TApplication application;
  return application;
}

void TApplication::Initialize() {
  if (FInitialized) return;
  RegisterControlClasses();
  FInitialized = true;
}

void TApplication::Run() {
  if (FBinding == nullptr || FMainForm == nullptr) return;
  FBinding->ShowMainForm(FMainForm);
  FBinding->Run();
}

void TApplication::ShowException(const std::exception& AError) { ShowException(std::string(AError.what())); }

void TApplication::ShowException(const std::string& AMessage) {
  try {
    if (FReporter) {
      FReporter(AMessage);
      return;
    }
    if (FBinding != nullptr) {
      FBinding->ShowException(AMessage);
      return;
    }
  } catch (...) {
    // A failing report falls back to standard error below.
  }
  std::fprintf(stderr, "%s\n", AMessage.c_str());
}

void TApplication::HandleEvent(const std::function<void()>& ACall) {
  try {
    ACall();
  } catch (const std::exception& e) {
    ShowException(e);
  } catch (...) {
    ShowException(std::string("Unknown error"));
  }
}
