#include "classifiers/NrWorkerPool.h"

#include <system_error>

TNrWorkerPool& TNrWorkerPool::Instance() {
  static TNrWorkerPool pool;
  return pool;
}

TNrWorkerPool::~TNrWorkerPool() {
  {
    std::lock_guard<std::mutex> hold(FLock);
    FStop = true;
  }
  FWake.notify_all();
  for (std::thread& t : FThreads) t.join();
}

void TNrWorkerPool::RunParts(std::unique_lock<std::mutex>& AHold) {
  while (FNext < FParts) {
    const int32_t part = FNext++;
    const std::function<void(int32_t)>* run = FPart;
    AHold.unlock();
    (*run)(part);
    AHold.lock();
    if (--FPending == 0) FDone.notify_all();
  }
}

void TNrWorkerPool::Work() {
  std::unique_lock<std::mutex> hold(FLock);
  for (;;) {
    FWake.wait(hold, [this] { return FStop || FNext < FParts; });
    if (FStop) return;
    RunParts(hold);
  }
}

void TNrWorkerPool::Run(int32_t AParts, const std::function<void(int32_t)>& APart) {
  std::unique_lock<std::mutex> run(FRunLock, std::try_to_lock);
  if (AParts <= 1 || !run.owns_lock()) {
    for (int32_t p = 0; p < AParts; ++p) APart(p);
    return;
  }
  std::unique_lock<std::mutex> hold(FLock);
  // Threads are only added, by the one running job, so the count never
  // shrinks under a waiting worker.
  // A thread that cannot be started leaves its parts to the others (the
  // caller runs every part that no pool thread takes).
  try {
    while (static_cast<int32_t>(FThreads.size()) < AParts - 1) FThreads.emplace_back([this] { Work(); });
  } catch (const std::system_error&) {
  }
  FPart = &APart;
  FNext = 0;
  FParts = AParts;
  FPending = AParts;
  FWake.notify_all();
  RunParts(hold);
  FDone.wait(hold, [this] { return FPending == 0; });
  FPart = nullptr;
  FParts = 0;
  FNext = 0;
}
