#include "platform/DynLib.h"

#include <dlfcn.h>

TDynLibHandle DynLoadLibrary(const std::string& AFileName) noexcept {
  if (AFileName.empty()) return nullptr;
  return dlopen(AFileName.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* DynGetProcAddress(TDynLibHandle AHandle, const char* AName) noexcept {
  if (AHandle == nullptr || AName == nullptr) return nullptr;
  return dlsym(AHandle, AName);
}

void DynFreeLibrary(TDynLibHandle AHandle) noexcept {
  if (AHandle != nullptr) (void)dlclose(AHandle);
}
