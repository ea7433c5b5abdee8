// Shared pieces of the image primitive tests: images with padded rows whose
// padding must survive every call, random odd sizes, and a comparison that
// names the first differing pixel and channel.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "primitives/Ipps.h"

namespace ImageTest {

inline std::mt19937_64& Rng() {
  static std::mt19937_64 g(20261211);
  return g;
}
inline int RandomInt(int ALo, int AHi) { return std::uniform_int_distribution<int>(ALo, AHi)(Rng()); }

// An image of W x H pixels of C channels of T, each row followed by a few
// padding bytes (the step is larger than the row), filled with random bytes.
template <class T>
struct TImage {
  int W = 0, H = 0, C = 0, Step = 0;  // step [bytes]
  std::vector<unsigned char> Bytes;

  TImage() = default;
  TImage(int AW, int AH, int AC, int APad = -1) : W(AW), H(AH), C(AC) {
    const int pad = APad >= 0 ? APad : static_cast<int>(sizeof(T)) * RandomInt(0, 5);
    Step = W * C * static_cast<int>(sizeof(T)) + pad;
    Bytes.resize(static_cast<size_t>(Step) * H + 16);
    for (auto& b : Bytes) b = static_cast<unsigned char>(Rng()());
  }
  T* Data() { return reinterpret_cast<T*>(Bytes.data()); }
  const T* Data() const { return reinterpret_cast<const T*>(Bytes.data()); }
  T* Px(int x, int y) { return reinterpret_cast<T*>(Bytes.data() + static_cast<size_t>(Step) * y) + x * C; }
  const T* Px(int x, int y) const {
    return reinterpret_cast<const T*>(Bytes.data() + static_cast<size_t>(Step) * y) + x * C;
  }
  T Get(int x, int y, int c) const {
    T v;
    std::memcpy(&v, Px(x, y) + c, sizeof v);
    return v;
  }
  void Set(int x, int y, int c, T v) { std::memcpy(Px(x, y) + c, &v, sizeof v); }
};

// Compares AGot against AWant inside the W x H region at (X0, Y0) of AGot
// and requires every byte outside it (padding, rows and columns beyond) to be
// as in ABefore. Names the first differing pixel and channel.
template <class T>
::testing::AssertionResult SameRegion(const std::string& AName, const TImage<T>& AGot, const TImage<T>& ABefore,
                                      const std::vector<T>& AWant, int X0, int Y0, int W, int H) {
  const int C = AGot.C;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      for (int c = 0; c < C; ++c) {
        const T g = AGot.Get(X0 + x, Y0 + y, c), w = AWant[(static_cast<size_t>(y) * W + x) * C + c];
        if (g != w)
          return ::testing::AssertionFailure() << AName << ": pixel (" << x << ", " << y << ") channel " << c
                                               << ": got " << +g << ", want " << +w;
      }
  const size_t rowStart = static_cast<size_t>(X0) * C * sizeof(T), rowEnd = rowStart + static_cast<size_t>(W) * C * sizeof(T);
  for (size_t i = 0; i < AGot.Bytes.size(); ++i) {
    const size_t y = i / AGot.Step, o = i % AGot.Step;
    const bool inside = y >= static_cast<size_t>(Y0) && y < static_cast<size_t>(Y0 + H) && o >= rowStart && o < rowEnd;
    if (!inside && AGot.Bytes[i] != ABefore.Bytes[i])
      return ::testing::AssertionFailure() << AName << ": byte " << o << " of row " << y
                                           << " outside the written region changed";
  }
  return ::testing::AssertionSuccess();
}

template <class T>
::testing::AssertionResult Untouched(const std::string& AName, const TImage<T>& AGot, const TImage<T>& ABefore) {
  if (AGot.Bytes != ABefore.Bytes) return ::testing::AssertionFailure() << AName << ": the destination was written";
  return ::testing::AssertionSuccess();
}

}  // namespace ImageTest
