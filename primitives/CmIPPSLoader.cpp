#include "primitives/CmIPPSLoader.h"

#include <mutex>

#include "primitives/IppBinding.h"

namespace CmIPPSLoader {
namespace {
// Guards the file names against a concurrent first use of the primitives.
std::mutex gNamesLock;
bool gStarted = false;
std::string gIppsName = kDefaultIppsFileName;
std::string gIppCoreName = kDefaultIppCoreFileName;
TDynLibHandle gIpps = nullptr;
TDynLibHandle gIppCore = nullptr;
}  // namespace

IppCpuType (*ippGetCpuType)() = nullptr;

bool SetLibraryFileNames(const std::string& AIpps, const std::string& AIppCore) {
  std::lock_guard<std::mutex> hold(gNamesLock);
  if (gStarted) return false;
  gIppsName = AIpps;
  gIppCoreName = AIppCore;
  return true;
}

std::string IppsFileName() {
  std::lock_guard<std::mutex> hold(gNamesLock);
  return gIppsName;
}

std::string IppCoreFileName() {
  std::lock_guard<std::mutex> hold(gNamesLock);
  return gIppCoreName;
}

void Load() noexcept {
  std::string ipps, core;
  {
    std::lock_guard<std::mutex> hold(gNamesLock);
    gStarted = true;
    ipps = gIppsName;
    core = gIppCoreName;
  }
  gIpps = DynLoadLibrary(ipps);
  gIppCore = DynLoadLibrary(core);
  IppBinding::BindEntry(ippGetCpuType, GetIppCoreProcAddress("ippGetCpuType"), &IppInternal::ippGetCpuType);
}

void Release() noexcept {
  ippGetCpuType = &IppInternal::ippGetCpuType;
  DynFreeLibrary(gIppCore);
  gIppCore = nullptr;
  DynFreeLibrary(gIpps);
  gIpps = nullptr;
}

TDynLibHandle IppsHandle() noexcept { return gIpps; }
TDynLibHandle IppCoreHandle() noexcept { return gIppCore; }

}  // namespace CmIPPSLoader

void* GetIppsProcAddress(const char* AName) noexcept {
  return DynGetProcAddress(CmIPPSLoader::IppsHandle(), AName);
}

void* GetIppCoreProcAddress(const char* AName) noexcept {
  return DynGetProcAddress(CmIPPSLoader::IppCoreHandle(), AName);
}

IppCpuType IppInternal::ippGetCpuType() { return ippCpuUnknown; }
