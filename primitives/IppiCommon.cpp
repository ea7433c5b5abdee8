#include "primitives/IppiCommon.h"

#include <cstdlib>
#include <cstring>

namespace IppiCommon {

namespace {
bool Disabled(const char* AName) noexcept {
  const char* list = std::getenv("FR_PRIMITIVES_DISABLE_SIMD");
  return list != nullptr && std::strstr(list, AName) != nullptr;
}
}  // namespace

bool UseAvx2() noexcept {
  static const bool use = __builtin_cpu_supports("avx2") && !Disabled("avx2");
  return use;
}
bool UseSsse3() noexcept {
  static const bool use = __builtin_cpu_supports("ssse3") && !Disabled("ssse3");
  return use;
}

}  // namespace IppiCommon
