#include "platform/SysUtils.h"

#include <cstdarg>
#include <cstdio>

std::string Format(const char* AFormat, ...) {
  va_list args;
  va_start(args, AFormat);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, AFormat, args);
  va_end(args);
  std::string out;
  if (n > 0) {
    out.resize(static_cast<size_t>(n));
    std::vsnprintf(out.data(), out.size() + 1, AFormat, again);
  }
  va_end(again);
  return out;
}
