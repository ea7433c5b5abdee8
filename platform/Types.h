// Basic value types shared by every subsystem.
#pragma once

#include <cstdint>

// Categories, distances, influence fields and buffer items: an IEEE 754 double.
using Real = double;

// A complex number of two Reals, real part first; the item of complex buffers.
struct TFlRealComplex {
  Real Real_;
  Real Imaginary;
};
