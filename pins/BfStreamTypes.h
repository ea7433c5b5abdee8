// The buffer stream types: identifiers and display names of the types that
// carry buffers, and the buffer stream type registry, which tells how many
// bytes a sample of a buffer type takes and makes buffers of that type.
//
// The buffer type registry starts with the generic and binary types (block
// buffers, 1-byte samples), the real (8), integer (4) and complex (16)
// buffer types, none of which updates anything; the stream type registry
// starts with the display names of every buffer type. The buffer send
// function and the buffer converters come with the buffer pins.
#pragma once

#include <cstdint>
#include <vector>

#include "buffers/BfSimpleDataBuffer.h"
#include "pins/FlStreamTypes.h"

namespace BfStreamID {
inline constexpr TGUID Binary = MakeGUID("{9C3F5A10-2B6E-4D8A-8E41-7B0D3C5A1F00}");         // "Bf binary buffer"
inline constexpr TGUID Real = MakeGUID("{9C3F5A10-2B6E-4D8A-8E41-7B0D3C5A1F01}");           // "Bf real buffer"
inline constexpr TGUID Integer = MakeGUID("{9C3F5A10-2B6E-4D8A-8E41-7B0D3C5A1F02}");        // "Bf integer buffer"
inline constexpr TGUID Complex = MakeGUID("{9C3F5A10-2B6E-4D8A-8E41-7B0D3C5A1F03}");        // "Bf complex buffer"
inline constexpr TGUID Universal = MakeGUID("{9C3F5A10-2B6E-4D8A-8E41-7B0D3C5A1F04}");      // "Bf Universal buffer"
inline constexpr TGUID Generic = MakeGUID("{9C3F5A10-2B6E-4D8A-8E41-7B0D3C5A1F05}");        // "Bf Generic buffer"
inline constexpr TGUID PairedBuffers = MakeGUID("{9C3F5A10-2B6E-4D8A-8E41-7B0D3C5A1F06}");  // "Bf Paired Buffers"
inline constexpr TGUID String = MakeGUID("{9C3F5A10-2B6E-4D8A-8E41-7B0D3C5A1F07}");         // "Bf String"
inline constexpr TGUID RealMatrix = MakeGUID("{9C3F5A10-2B6E-4D8A-8E41-7B0D3C5A1F08}");     // "Bf Real Matrix"
inline constexpr TGUID UserControl = MakeGUID("{9C3F5A10-2B6E-4D8A-8E41-7B0D3C5A1F09}");    // "User control"
}  // namespace BfStreamID

// Makes a buffer of ASize samples of the entry's type.
using TBfFlCreateBufferFunction = Ref<TBfGenericBuffer> (*)(int32_t ASize);
// Brings ABuffer up to date with what AOperation carries.
using TBfFlUpdateBufferFunction = void (*)(TBfGenericBuffer* ABuffer, IFlNotifyOperation* AOperation);

struct TBfFlStreamTypeEntry {
  TGUID ID;
  int32_t SampleSize = 0;  // bytes per sample
  TBfFlCreateBufferFunction CreateFunction = nullptr;
  TBfFlUpdateBufferFunction UpdateFunction = nullptr;
};

// When AID is present, replaces its two functions and keeps its sample size;
// else appends an entry with all four values.
void RegisterBufferStreamType(const TGUID& AID, int32_t ASampleSize, TBfFlCreateBufferFunction ACreateFunction,
                              TBfFlUpdateBufferFunction AUpdateFunction);
// Copies the entry of AID; false when AID is not a registered buffer type.
bool FindBufferStreamType(const TGUID& AID, TBfFlStreamTypeEntry& AEntry);
std::vector<TBfFlStreamTypeEntry> BufferStreamTypeEntries();

// The display names of the buffer types, in start-up order; the stream type
// registry enters them when it is made, after the standard types.
struct TBfStreamTypeName {
  TGUID ID;
  const char* Name;
};
inline constexpr TBfStreamTypeName BfStreamTypeNames[] = {
    {BfStreamID::Binary, "Bf binary buffer"},        {BfStreamID::Real, "Bf real buffer"},
    {BfStreamID::Integer, "Bf integer buffer"},      {BfStreamID::Complex, "Bf complex buffer"},
    {BfStreamID::Universal, "Bf Universal buffer"},  {BfStreamID::Generic, "Bf Generic buffer"},
    {BfStreamID::PairedBuffers, "Bf Paired Buffers"}, {BfStreamID::String, "Bf String"},
    {BfStreamID::RealMatrix, "Bf Real Matrix"},      {BfStreamID::UserControl, "User control"},
};
