#include "platform/MessageLoop.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <vector>

TMessageLoop::TMessageLoop() : FClock([] { return std::chrono::steady_clock::now(); }) {}

TMessageLoop::~TMessageLoop() = default;

TMessageLoop& TMessageLoop::Application() {
  static TMessageLoop loop;
  return loop;
}

TMessageWindow* TMessageLoop::AllocateHWnd(TMessageWindow::TWndProc AWndProc) {
  std::unique_ptr<TMessageWindow> w(new TMessageWindow(this, std::move(AWndProc)));
  TMessageWindow* raw = w.get();
  std::lock_guard<std::mutex> hold(FLock);
  FWindows.emplace(raw, std::move(w));
  return raw;
}

void TMessageLoop::WaitForDispatchOf(std::unique_lock<std::mutex>& AHold, TMessageWindow* AWindow) {
  // A handler that frees its own window is running on this very thread.
  if (FDispatchThread == std::this_thread::get_id()) return;
  FChanged.wait(AHold, [&] { return FDispatching != AWindow; });
}

void TMessageLoop::DeallocateHWnd(TMessageWindow* AWindow) {
  if (AWindow == nullptr) return;
  std::unique_ptr<TMessageWindow> gone;
  {
    std::unique_lock<std::mutex> hold(FLock);
    WaitForDispatchOf(hold, AWindow);
    for (auto it = FTimers.begin(); it != FTimers.end();)
      it = it->first.first == AWindow ? FTimers.erase(it) : std::next(it);
    FPosted.erase(std::remove_if(FPosted.begin(), FPosted.end(), [&](const auto& m) { return m.first == AWindow; }),
                  FPosted.end());
    auto it = FWindows.find(AWindow);
    if (it != FWindows.end()) {
      gone = std::move(it->second);
      FWindows.erase(it);
    }
    // A handler freeing its own window: the window procedure is still
    // running, so it goes once the dispatch has returned.
    if (gone && FDispatching == AWindow && FDispatchThread == std::this_thread::get_id())
      FDoomed.push_back(std::move(gone));
  }
  // The window procedure (and what it captured) is released outside the lock.
}

bool TMessageLoop::SetTimer(TMessageWindow* AWindow, uintptr_t AId, uint32_t AIntervalMs) {
  {
    std::lock_guard<std::mutex> hold(FLock);
    if (FWindows.find(AWindow) == FWindows.end()) return false;
    const TTimerKey key{AWindow, AId};
    auto it = FTimers.find(key);
    if (it == FTimers.end() && FTimers.size() >= FTimerCapacity) return false;
    const uint32_t interval = std::max<uint32_t>(AIntervalMs, 1);
    FTimers[key] = TTimer{interval, FClock() + std::chrono::milliseconds(interval)};
  }
  Wake();
  return true;
}

bool TMessageLoop::KillTimer(TMessageWindow* AWindow, uintptr_t AId) {
  std::unique_lock<std::mutex> hold(FLock);
  const bool was = FTimers.erase(TTimerKey{AWindow, AId}) > 0;
  if (was) WaitForDispatchOf(hold, AWindow);
  return was;
}

size_t TMessageLoop::TimerCapacity() const {
  std::lock_guard<std::mutex> hold(FLock);
  return FTimerCapacity;
}

void TMessageLoop::SetTimerCapacity(size_t ACapacity) {
  std::lock_guard<std::mutex> hold(FLock);
  FTimerCapacity = ACapacity;
}

size_t TMessageLoop::ActiveTimers() const {
  std::lock_guard<std::mutex> hold(FLock);
  return FTimers.size();
}

void TMessageLoop::PostMessage(TMessageWindow* AWindow, TMessage AMessage) {
  {
    std::lock_guard<std::mutex> hold(FLock);
    if (FWindows.find(AWindow) == FWindows.end()) return;
    FPosted.emplace_back(AWindow, AMessage);
  }
  FChanged.notify_all();
  Wake();
}

void TMessageLoop::Post(std::function<void()> ACall) {
  {
    std::lock_guard<std::mutex> hold(FLock);
    FCalls.push_back(std::move(ACall));
  }
  FChanged.notify_all();
  Wake();
}

void TMessageLoop::Dispatch(TMessageWindow* AWindow, TMessage& AMessage) {
  // Called with FDispatching set to AWindow, without the lock: the window
  // cannot be freed by another thread meanwhile.
  AWindow->FWndProc(AMessage);
}

bool TMessageLoop::ProcessMessages() {
  bool any = false;
  // Posted calls and messages first, in the order they came.
  for (;;) {
    std::function<void()> call;
    {
      std::lock_guard<std::mutex> hold(FLock);
      if (FCalls.empty()) break;
      call = std::move(FCalls.front());
      FCalls.pop_front();
    }
    any = true;
    call();
  }
  auto dispatchOne = [&](TMessageWindow* AWindow, TMessage AMessage, std::unique_lock<std::mutex>& AHold) {
    FDispatching = AWindow;
    FDispatchThread = std::this_thread::get_id();
    AHold.unlock();
    std::exception_ptr error;
    try {
      Dispatch(AWindow, AMessage);
    } catch (...) {
      error = std::current_exception();
    }
    AHold.lock();
    FDispatching = nullptr;
    FDispatchThread = {};
    std::vector<std::unique_ptr<TMessageWindow>> doomed = std::move(FDoomed);
    FDoomed.clear();
    FChanged.notify_all();
    if (!doomed.empty()) {
      // What the window procedure captured is released without the lock.
      AHold.unlock();
      doomed.clear();
      AHold.lock();
    }
    if (error) std::rethrow_exception(error);
  };
  std::unique_lock<std::mutex> hold(FLock);
  while (!FPosted.empty()) {
    auto [window, message] = FPosted.front();
    FPosted.pop_front();
    any = true;
    dispatchOne(window, message, hold);
  }
  // Timers due now; each fires once and is due again one period later. The
  // list is re-read after every dispatch since handlers may change it.
  const TTimePoint now = FClock();
  std::vector<TTimerKey> due;
  for (const auto& [key, timer] : FTimers)
    if (timer.Due <= now) due.push_back(key);
  for (const TTimerKey& key : due) {
    auto it = FTimers.find(key);
    if (it == FTimers.end() || it->second.Due > now) continue;
    it->second.Due = now + std::chrono::milliseconds(it->second.Interval);
    TMessage m;
    m.Msg = WM_TIMER;
    m.WParam = key.second;
    any = true;
    dispatchOne(key.first, m, hold);
  }
  return any;
}

void TMessageLoop::Run() {
  {
    std::lock_guard<std::mutex> hold(FLock);
    FTerminated = false;
  }
  for (;;) {
    ProcessMessages();
    std::unique_lock<std::mutex> hold(FLock);
    if (FTerminated) return;
    if (!FPosted.empty() || !FCalls.empty()) continue;
    // Waits in real time, at most 50 ms at a stretch so that a clock of
    // another kind is still followed.
    auto wait = std::chrono::milliseconds(50);
    const TTimePoint now = FClock();
    for (const auto& [key, timer] : FTimers) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(timer.Due - now);
      wait = std::min(wait, std::max(left, std::chrono::milliseconds(0)));
    }
    FChanged.wait_for(hold, wait, [&] { return FTerminated || !FPosted.empty() || !FCalls.empty(); });
    if (FTerminated) return;
  }
}

void TMessageLoop::Terminate() {
  {
    std::lock_guard<std::mutex> hold(FLock);
    FTerminated = true;
  }
  FChanged.notify_all();
  Wake();
}

std::optional<TMessageLoop::TTimePoint> TMessageLoop::NextDueTime() const {
  std::lock_guard<std::mutex> hold(FLock);
  std::optional<TTimePoint> next;
  for (const auto& [key, timer] : FTimers)
    if (!next || timer.Due < *next) next = timer.Due;
  return next;
}

void TMessageLoop::SetWakeHook(std::function<void()> AHook) {
  std::lock_guard<std::mutex> hold(FLock);
  FWakeHook = std::move(AHook);
}

void TMessageLoop::SetClock(TClock AClock) {
  std::lock_guard<std::mutex> hold(FLock);
  FClock = AClock ? std::move(AClock) : TClock([] { return std::chrono::steady_clock::now(); });
}

TMessageLoop::TTimePoint TMessageLoop::Now() const {
  std::lock_guard<std::mutex> hold(FLock);
  return FClock();
}

void TMessageLoop::Wake() {
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> hold(FLock);
    hook = FWakeHook;
  }
  FChanged.notify_all();
  if (hook) hook();
}
