// The message loop that timers tick on, in place of the platform's window
// messages.
//
// A hidden window (`TMessageWindow`) receives the messages of one object; a
// timer of a window sends it WM_TIMER every interval while the loop runs.
// Messages are dispatched on the thread that runs the loop (`Run`) or steps
// it (`ProcessMessages`): the headless program runs it, tests step it with a
// clock of their own, and a GUI event loop drives it through the wake hook:
//
//   loop.SetWakeHook([&] { QMetaObject::invokeMethod(&pump, "rearm", Qt::QueuedConnection); });
//   // rearm: if (auto due = loop.NextDueTime()) qtTimer.start(ms until *due);
//   // qtTimer's timeout and the queued call: loop.ProcessMessages();
//
// The number of timers that may run at once is finite (like the platform's
// timer table): SetTimer refuses a timer beyond `TimerCapacity`, which the
// timer component reports as "Not enough timers available".
//
// Threads: one thread runs or steps the loop; every other operation may be
// called from any thread. Dispatching holds
// no lock of the loop, so a handler may set and kill timers and post
// messages. Deallocating a window (or killing its timer) from another thread
// waits until a message being dispatched to that window has returned, so
// that its owner may be freed right afterwards.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

inline constexpr uint32_t WM_TIMER = 0x0113;
inline constexpr uint32_t WM_USER = 0x0400;

struct TMessage {
  uint32_t Msg = 0;
  uintptr_t WParam = 0;  // WM_TIMER: the timer identifier
  intptr_t LParam = 0;
  intptr_t Result = 0;
};

class TMessageLoop;

// A hidden window: the target of messages for one object.
class TMessageWindow {
 public:
  using TWndProc = std::function<void(TMessage&)>;
  TMessageLoop& Loop() const { return *FLoop; }

 private:
  friend class TMessageLoop;
  TMessageWindow(TMessageLoop* ALoop, TWndProc AWndProc) : FLoop(ALoop), FWndProc(std::move(AWndProc)) {}
  TMessageLoop* FLoop;
  TWndProc FWndProc;
};

class TMessageLoop {
 public:
  using TClock = std::function<std::chrono::steady_clock::time_point()>;
  using TTimePoint = std::chrono::steady_clock::time_point;

  TMessageLoop();
  ~TMessageLoop();
  TMessageLoop(const TMessageLoop&) = delete;
  TMessageLoop& operator=(const TMessageLoop&) = delete;

  // The loop of the application, on which components' timers tick.
  static TMessageLoop& Application();

  // Hidden windows. DeallocateHWnd kills the window's timers and drops its
  // pending messages.
  TMessageWindow* AllocateHWnd(TMessageWindow::TWndProc AWndProc);
  void DeallocateHWnd(TMessageWindow* AWindow);

  // Starts (or restarts) timer AId of AWindow with a period of AIntervalMs
  // milliseconds (at least 1). False when the loop already runs as many
  // timers as its capacity allows.
  bool SetTimer(TMessageWindow* AWindow, uintptr_t AId, uint32_t AIntervalMs);
  // Stops the timer; false when it was not running.
  bool KillTimer(TMessageWindow* AWindow, uintptr_t AId);

  size_t TimerCapacity() const;
  void SetTimerCapacity(size_t ACapacity);
  size_t ActiveTimers() const;

  // Queues a message for AWindow, or a call to run on the loop's thread.
  void PostMessage(TMessageWindow* AWindow, TMessage AMessage);
  void Post(std::function<void()> ACall);

  // Dispatches the posted messages and calls, then one WM_TIMER to every
  // timer that is due; returns whether anything was dispatched. A late
  // timer fires once, not once per missed period (as platform timers do).
  bool ProcessMessages();
  // Dispatches messages until Terminate, waiting in between.
  void Run();
  void Terminate();

  // When the next timer is due, or nothing when none runs.
  std::optional<TTimePoint> NextDueTime() const;
  // Called (on any thread, without the loop's lock) when a message was
  // posted or a timer started, so that an outside event loop can wake up
  // and re-arm for NextDueTime.
  void SetWakeHook(std::function<void()> AHook);
  // The clock timers are measured with; tests set one they advance.
  void SetClock(TClock AClock);
  TTimePoint Now() const;

 private:
  struct TTimer {
    uint32_t Interval;
    TTimePoint Due;
  };
  using TTimerKey = std::pair<TMessageWindow*, uintptr_t>;

  void Dispatch(TMessageWindow* AWindow, TMessage& AMessage);
  void WaitForDispatchOf(std::unique_lock<std::mutex>& AHold, TMessageWindow* AWindow);
  void Wake();

  mutable std::mutex FLock;
  std::condition_variable FChanged;
  std::map<TMessageWindow*, std::unique_ptr<TMessageWindow>> FWindows;
  std::map<TTimerKey, TTimer> FTimers;
  std::deque<std::pair<TMessageWindow*, TMessage>> FPosted;
  std::deque<std::function<void()>> FCalls;
  size_t FTimerCapacity = 1000;
  bool FTerminated = false;
  TMessageWindow* FDispatching = nullptr;  // the window a handler runs for
  std::vector<std::unique_ptr<TMessageWindow>> FDoomed;  // freed by their own handler
  std::thread::id FDispatchThread;
  std::function<void()> FWakeHook;
  TClock FClock;
};
