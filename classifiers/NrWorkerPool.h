// A small persistent pool of threads that runs the parts of one job: the
// distance step of a large Train or Predict, split into ranges of neurons.
//
// Threads: Run may be called from any thread. One job runs on the pool at a
// time; a caller that finds the pool busy runs all parts of its job on its
// own thread, which gives the same results (the parts are independent).
// The pool takes no lock of the caller's and runs nothing but the parts, so a
// caller may hold its own locks while it waits for them.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class TNrWorkerPool {
 public:
  // The process-wide pool; its threads start when a job first needs them and
  // end when the process ends.
  static TNrWorkerPool& Instance();

  TNrWorkerPool() = default;
  TNrWorkerPool(const TNrWorkerPool&) = delete;
  TNrWorkerPool& operator=(const TNrWorkerPool&) = delete;
  ~TNrWorkerPool();

  // Runs APart(p) for p = 0 .. AParts-1, on the calling thread and up to
  // AParts - 1 pool threads, and returns when every part has finished. The
  // parts must not throw.
  void Run(int32_t AParts, const std::function<void(int32_t)>& APart);

 private:
  void Work();
  // Runs parts of the current job until none is left (FLock held on entry
  // and on return).
  void RunParts(std::unique_lock<std::mutex>& AHold);

  std::mutex FRunLock;  // one job at a time; taken before FLock
  std::mutex FLock;     // guards everything below
  std::condition_variable FWake;
  std::condition_variable FDone;
  std::vector<std::thread> FThreads;
  const std::function<void(int32_t)>* FPart = nullptr;
  int32_t FParts = 0;    // parts of the current job (0: none)
  int32_t FNext = 0;     // next part to hand out
  int32_t FPending = 0;  // parts not finished yet
  bool FStop = false;
};
