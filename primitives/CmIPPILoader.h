// The image and colour-conversion libraries: their file names, their handles
// and the lookup routine of the image names.
//
// The default file names are the IPP 5.1 Linux counterparts of ippi-5.1.dll
// and ippcc-5.1.dll; a caller can change them before start-up (an empty name
// means "do not load").
#pragma once

#include <string>

#include "platform/DynLib.h"

namespace CmIPPILoader {
inline constexpr const char* kDefaultIppiFileName = "libippi.so.5.1";
inline constexpr const char* kDefaultIppccFileName = "libippcc.so.5.1";

// Sets the file names used by start-up; false (and nothing changed) once
// start-up has run.
bool SetLibraryFileNames(const std::string& AIppi, const std::string& AIppcc);
std::string IppiFileName();
std::string IppccFileName();

// Start-up step: loads the image library, then the colour-conversion library.
void Load() noexcept;
// Close-down step: releases the colour-conversion library, then the image library.
void Release() noexcept;

TDynLibHandle IppiHandle() noexcept;
TDynLibHandle IppccHandle() noexcept;
}  // namespace CmIPPILoader

// Lookup in the image library first and, when that gives null (or it is not
// loaded), in the colour-conversion library; null when both fail.
void* GetIppiProcAddress(const char* AName) noexcept;
