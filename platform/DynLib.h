// Dynamic loading of shared libraries: the thin stand-in for the platform's
// load-library, look-up-symbol and release-library calls (dlopen, dlsym and
// dlclose on Linux). None of them raises; failures give null.
#pragma once

#include <string>

// An opaque handle of a loaded library; null means none.
using TDynLibHandle = void*;

// Loads a library by file name. A bare name is searched in the platform's
// ordinary order (LD_LIBRARY_PATH, the cache, the system folders); a name with
// a slash is taken as a path. Symbols are resolved at once and kept local to
// the library. An empty name loads nothing and gives null (dlopen would give
// the program itself).
TDynLibHandle DynLoadLibrary(const std::string& AFileName) noexcept;

// The address of the exported symbol AName of that one library (and the
// libraries it depends on), or null when the handle is null or the symbol is
// missing.
void* DynGetProcAddress(TDynLibHandle AHandle, const char* AName) noexcept;

// Releases a library; a null handle is skipped. The platform's result is
// ignored.
void DynFreeLibrary(TDynLibHandle AHandle) noexcept;
