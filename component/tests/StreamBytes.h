// Building expected property-stream bytes in tests: short strings with their
// length byte, and concatenation of pieces.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A text as the stream stores a name: one length byte, then the bytes.
inline Bytes Str(const std::string& AText) {
  Bytes b;
  b.push_back(uint8_t(AText.size()));
  for (char c : AText) b.push_back(uint8_t(c));
  return b;
}

inline Bytes Cat(std::initializer_list<Bytes> AParts) {
  Bytes out;
  for (const Bytes& p : AParts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline bool Contains(const Bytes& AHay, const Bytes& ANeedle) {
  return std::search(AHay.begin(), AHay.end(), ANeedle.begin(), ANeedle.end()) != AHay.end();
}
