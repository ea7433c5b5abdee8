// The signal and core libraries: their file names, their handles, the lookup
// routines for both, and the ippGetCpuType entry.
//
// The default file names are the IPP 5.1 Linux counterparts of ipps-5.1.dll
// and ippcore-5.1.dll. A caller can change them before start-up (an empty
// name means "do not load"); changes after start-up are refused. Names are
// loaded as the platform loads bare names (DynLoadLibrary).
#pragma once

#include <string>

#include "platform/DynLib.h"
#include "primitives/ippdefs.h"

namespace CmIPPSLoader {
inline constexpr const char* kDefaultIppsFileName = "libipps.so.5.1";
inline constexpr const char* kDefaultIppCoreFileName = "libippcore.so.5.1";

// Sets the file names used by start-up; false (and nothing changed) once
// start-up has run.
bool SetLibraryFileNames(const std::string& AIpps, const std::string& AIppCore);
std::string IppsFileName();
std::string IppCoreFileName();

// Start-up step: loads the signal library, then the core library, then binds
// ippGetCpuType through GetIppCoreProcAddress.
void Load() noexcept;
// Close-down step: points ippGetCpuType back at the internal side and
// releases the core library, then the signal library.
void Release() noexcept;

TDynLibHandle IppsHandle() noexcept;
TDynLibHandle IppCoreHandle() noexcept;

// The entry of ippGetCpuType (null before start-up).
extern IppCpuType (*ippGetCpuType)();
}  // namespace CmIPPSLoader

// Lookup in the signal library only; null when it is not loaded or lacks the name.
void* GetIppsProcAddress(const char* AName) noexcept;
// Lookup in the core library only; null when it is not loaded or lacks the name.
void* GetIppCoreProcAddress(const char* AName) noexcept;
