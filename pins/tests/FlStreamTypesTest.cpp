// The stream type, converter and buffer stream type registries.
#include <gtest/gtest.h>

#include "pins/BfStreamTypes.h"

#include "buffers/BfBlockBuffer.h"
#include "buffers/BfComplexBuffer.h"
#include "buffers/BfIntegerBuffer.h"
#include "pins/tests/PinTestSupport.h"

using namespace pintest;

namespace {

struct TNamedType {
  TGUID ID;
  const char* Name;
};

// Every start-up entry with its display name, standard types then buffer types.
const TNamedType StartupNames[] = {
    {FlStreamID::ClockStream, "Clock"},
    {FlStreamID::Integer, "32 bit Integer"},
    {FlStreamID::Int64, "64 bit Integer"},
    {FlStreamID::Float, "Float"},
    {FlStreamID::Real, "Real"},
    {FlStreamID::RealComplex, "Real Complex"},
    {FlStreamID::Boolean, "Boolean"},
    {FlStreamID::Character, "Character"},
    {FlStreamID::String, "Sting"},
    {FlStreamID::IntRanged, "Ranged 32 bit Integer"},
    {FlStreamID::Int64Ranged, "Ranged 64 bit Integer"},
    {FlStreamID::RealRanged, "Ranged Real"},
    {FlStreamID::DateTime, "Date/Time"},
    {FlStreamID::DataStream, ""},
    {BfStreamID::Binary, "Bf binary buffer"},
    {BfStreamID::Real, "Bf real buffer"},
    {BfStreamID::Integer, "Bf integer buffer"},
    {BfStreamID::Complex, "Bf complex buffer"},
    {BfStreamID::Universal, "Bf Universal buffer"},
    {BfStreamID::Generic, "Bf Generic buffer"},
    {BfStreamID::PairedBuffers, "Bf Paired Buffers"},
    {BfStreamID::String, "Bf String"},
    {BfStreamID::RealMatrix, "Bf Real Matrix"},
    {BfStreamID::UserControl, "User control"},
};

TEST(StreamTypeRegistry, StartupEntriesHaveTheirNamesInRegistrationOrder) {
  const std::vector<TFlStreamTypeEntry> entries = StreamTypeEntries();
  ASSERT_GE(entries.size(), std::size(StartupNames));
  for (size_t i = 0; i < std::size(StartupNames); ++i) {
    SCOPED_TRACE(StartupNames[i].Name);
    EXPECT_EQ(entries[i].ID, StartupNames[i].ID);
    EXPECT_EQ(entries[i].Name, StartupNames[i].Name);
    EXPECT_EQ(GetStreamTypeName(StartupNames[i].ID), StartupNames[i].Name);
    EXPECT_TRUE(entries[i].Extentions.empty());
  }
  // Only the data streams have a send function at start-up.
  for (const TNamedType& t : StartupNames)
    EXPECT_EQ(GetStreamTypeSend(t.ID) != nullptr, t.ID == FlStreamID::DataStream) << t.Name;
  EXPECT_EQ(GetStreamTypeSend(FlStreamID::DataStream), &FlDataSendFunction);
}

TEST(StreamTypeRegistry, DisplayNamesOfNullAndUnregisteredIdentifiers) {
  EXPECT_EQ(GetStreamTypeName(TGUID{}), "NIL ID");
  EXPECT_EQ(GetStreamTypeName(UnregisteredID), "{0D1A6F00-7C33-4B8E-9E05-3A2C1B0F9EAB}");
  EXPECT_EQ(GuidToText(MakeGUID("{0000000A-000B-00CD-EF01-23456789ABCD}")), "{0000000A-000B-00CD-EF01-23456789ABCD}");
  TFlStreamTypeEntry entry;
  EXPECT_FALSE(FindStreamType(UnregisteredID, entry));
  EXPECT_EQ(GetStreamTypeSend(UnregisteredID), nullptr);
}

TFlNotifyResult ChangedSend(TFlPin*, IFlStream*, PDataTypeID, IFlNotifyOperation*, TFlNotifyState) {
  return nrDataChanged;
}

TEST(StreamTypeRegistry, RegisteringAgainUpdatesTheOneEntry) {
  const TGUID id = MakeGUID("{0D1A6F00-7C33-4B8E-9E05-3A2C1B0F9E10}");
  const size_t before = StreamTypeEntries().size();
  const int32_t index = FindOrAddStreamType(id);
  EXPECT_EQ(size_t(index), before);
  EXPECT_EQ(GetStreamTypeName(id), "");  // registered without a name
  RegisterStreamTypeName(id, "First");
  RegisterStreamTypeName(id, "Second");
  RegisterStreamTypeSend(id, &ChangedSend);
  EXPECT_EQ(FindOrAddStreamType(id), index);
  EXPECT_EQ(StreamTypeEntries().size(), before + 1);
  EXPECT_EQ(GetStreamTypeName(id), "Second");
  EXPECT_EQ(GetStreamTypeSend(id), &ChangedSend);
}

TEST(ConverterRegistry, SamePairTwiceLeavesOneEntryWithTheSecondClass) {
  const TGUID in = MakeGUID("{0D1A6F00-7C33-4B8E-9E05-3A2C1B0F9E20}");
  const TGUID out = MakeGUID("{0D1A6F00-7C33-4B8E-9E05-3A2C1B0F9E21}");
  EXPECT_EQ(FindTypeConverter(in, out), -1);
  EXPECT_EQ(GetTypeConverter(in, out), nullptr);
  const size_t before = TypeConverterEntries().size();
  const TFlFormatConverterClass first = TFlFormatConverter::ClassOf<TFloatToRealConverter>();
  const TFlFormatConverterClass second = TFlFormatConverter::ClassOf<TIntToRealConverter>();
  RegisterTypeConverter(in, out, first);
  RegisterTypeConverter(in, out, second);
  EXPECT_EQ(TypeConverterEntries().size(), before + 1);
  EXPECT_EQ(FindTypeConverter(in, out), int32_t(before));
  EXPECT_EQ(GetTypeConverter(in, out), second);
  EXPECT_EQ(FindTypeConverter(out, in), -1);  // pairs are ordered
}

// Each start-up buffer type makes buffers of its class with the requested
// number of samples of its size, in the start-up order.
TEST(BufferStreamTypes, StartUpTypesMakeBuffersOfTheirClassAndSampleSize) {
  struct TRow {
    TGUID ID;
    int32_t SampleSize;
    bool (*IsOfClass)(TObject*);
  };
  auto isBlock = [](TObject* o) { return dynamic_cast<TBfBlockBuffer*>(o) != nullptr; };
  const TRow rows[] = {
      {BfStreamID::Generic, 1, isBlock},
      {BfStreamID::Binary, 1, isBlock},
      {BfStreamID::Real, 8, [](TObject* o) { return dynamic_cast<TBfRealBuffer*>(o) != nullptr; }},
      {BfStreamID::Integer, 4, [](TObject* o) { return dynamic_cast<TBfIntegerBuffer*>(o) != nullptr; }},
      {BfStreamID::Complex, 16, [](TObject* o) { return dynamic_cast<TBfComplexBuffer*>(o) != nullptr; }},
  };
  const std::vector<TBfFlStreamTypeEntry> all = BufferStreamTypeEntries();
  ASSERT_GE(all.size(), std::size(rows));
  for (size_t k = 0; k < std::size(rows); ++k) {
    const TRow& row = rows[k];
    EXPECT_EQ(all[k].ID, row.ID) << "start-up order, entry " << k;
    TBfFlStreamTypeEntry entry;
    ASSERT_TRUE(FindBufferStreamType(row.ID, entry)) << k;
    EXPECT_EQ(entry.SampleSize, row.SampleSize) << k;
    ASSERT_NE(entry.CreateFunction, nullptr);
    ASSERT_NE(entry.UpdateFunction, nullptr);
    for (int32_t size : {0, 1, 17}) {
      Ref<TBfGenericBuffer> buffer = entry.CreateFunction(size);
      ASSERT_TRUE(buffer);
      EXPECT_TRUE(row.IsOfClass(buffer->GetInstance())) << k;
      EXPECT_EQ(buffer->GetByteSize(), uint32_t(size * row.SampleSize)) << k << " size " << size;
      entry.UpdateFunction(buffer.Get(), nullptr);  // does nothing
      EXPECT_EQ(buffer->GetByteSize(), uint32_t(size * row.SampleSize)) << k;
    }
  }
}

Ref<TBfGenericBuffer> MakeNone(int32_t) { return {}; }

TEST(BufferStreamTypes, RegisteringAgainReplacesFunctionsAndKeepsTheSampleSize) {
  const TGUID id = MakeGUID("{0D1A6F00-7C33-4B8E-9E05-3A2C1B0F9E30}");
  RegisterBufferStreamType(id, 4, &MakeNone, nullptr);
  const size_t count = BufferStreamTypeEntries().size();
  TBfFlStreamTypeEntry entry;
  RegisterBufferStreamType(id, 16, nullptr, nullptr);
  ASSERT_TRUE(FindBufferStreamType(id, entry));
  EXPECT_EQ(entry.SampleSize, 4);
  EXPECT_EQ(entry.CreateFunction, nullptr);
  EXPECT_EQ(BufferStreamTypeEntries().size(), count);
}

}  // namespace
