#include "primitives/CmIPPILoader.h"

#include <mutex>

namespace CmIPPILoader {
namespace {
std::mutex gNamesLock;
bool gStarted = false;
std::string gIppiName = kDefaultIppiFileName;
std::string gIppccName = kDefaultIppccFileName;
TDynLibHandle gIppi = nullptr;
TDynLibHandle gIppcc = nullptr;
}  // namespace

bool SetLibraryFileNames(const std::string& AIppi, const std::string& AIppcc) {
  std::lock_guard<std::mutex> hold(gNamesLock);
  if (gStarted) return false;
  gIppiName = AIppi;
  gIppccName = AIppcc;
  return true;
}

std::string IppiFileName() {
  std::lock_guard<std::mutex> hold(gNamesLock);
  return gIppiName;
}

std::string IppccFileName() {
  std::lock_guard<std::mutex> hold(gNamesLock);
  return gIppccName;
}

void Load() noexcept {
  std::string ippi, ippcc;
  {
    std::lock_guard<std::mutex> hold(gNamesLock);
    gStarted = true;
    ippi = gIppiName;
    ippcc = gIppccName;
  }
  gIppi = DynLoadLibrary(ippi);
  gIppcc = DynLoadLibrary(ippcc);
}

void Release() noexcept {
  DynFreeLibrary(gIppcc);
  gIppcc = nullptr;
  DynFreeLibrary(gIppi);
  gIppi = nullptr;
}

TDynLibHandle IppiHandle() noexcept { return gIppi; }
TDynLibHandle IppccHandle() noexcept { return gIppcc; }

}  // namespace CmIPPILoader

void* GetIppiProcAddress(const char* AName) noexcept {
  if (void* p = DynGetProcAddress(CmIPPILoader::IppiHandle(), AName)) return p;
  return DynGetProcAddress(CmIPPILoader::IppccHandle(), AName);
}
