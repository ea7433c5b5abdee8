// Start-up and close-down of the primitive layer, in the order of the
// modules: the signal and core libraries, the image libraries, then the
// Resize, Scope, Basic and Norm entries; close-down in reverse.
#include <mutex>

#include "primitives/IppBinding.h"

namespace {

std::mutex gShutdownLock;
bool gShutDown = false;

bool Bind() noexcept {
  CmIPPSLoader::Load();
  CmIPPILoader::Load();
  BfResizeDispatcher::Bind();
  BfScopeDispatcher::Bind();
  BfBasicDispatcher::Bind();
  // The buffer modules start here in the original order of start-up; they
  // need nothing of the norm entry.
  BfNormDispatcher::Bind();
  IppDispatchDetail::gBound.store(true, std::memory_order_release);
  return true;
}

}  // namespace

void PrimitivesStartup() noexcept {
  // A function-local static: the first caller binds, concurrent first
  // callers wait for it, later calls only test the guard.
  static const bool bound = Bind();
  (void)bound;
}

void PrimitivesShutdown() noexcept {
  std::lock_guard<std::mutex> hold(gShutdownLock);
  if (gShutDown || !PrimitivesBound()) return;
  gShutDown = true;
  BfNormDispatcher::Unbind();
  BfBasicDispatcher::Unbind();
  BfScopeDispatcher::Unbind();
  BfResizeDispatcher::Unbind();
  CmIPPILoader::Release();
  CmIPPSLoader::Release();
}
