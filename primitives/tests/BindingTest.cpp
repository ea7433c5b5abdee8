// The binding of the dispatch table to outside libraries, with the fake
// libraries of binding.cmake. One program per configuration:
//   FR_SCENARIO_AllLibraries  all four libraries present;
//   FR_SCENARIO_NoLibraries   none can be loaded;
//   FR_SCENARIO_ColourOnly    only the colour-conversion library.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "primitives/CmIPPILoader.h"
#include "primitives/CmIPPSLoader.h"
#include "primitives/Ipps.h"

namespace {

template <class F>
void* AsAddress(F* AFunction) {
  void* p = nullptr;
  std::memcpy(&p, &AFunction, sizeof p);
  return p;
}

struct TEntry {
  std::string Module, Lookup, Kind, Name;
  void* Value;
  void* Internal;
};

std::vector<TEntry> Entries() {
  std::vector<TEntry> v;
#define FR_INTERNAL_Own(name) AsAddress(&IppInternal::name)
#define FR_INTERNAL_Later(name) nullptr
#define FR_INTERNAL_None(name) nullptr
#define FR_IPP_ENTRY(module, lookup, kind, route, name, params, args) \
  v.push_back({#module, #lookup, #kind, #name, AsAddress(Bf##module##Dispatcher::name), FR_INTERNAL_##kind(name)});
#include "primitives/IppDispatchTable.def"
#undef FR_IPP_ENTRY
  return v;
}

// Sets the library names of this configuration and binds, once.
void Bind() {
#if defined(FR_SCENARIO_AllLibraries)
  CmIPPSLoader::SetLibraryFileNames(FR_FAKE_IPPS, FR_FAKE_IPPCORE);
  CmIPPILoader::SetLibraryFileNames(FR_FAKE_IPPI, FR_FAKE_IPPCC);
#elif defined(FR_SCENARIO_NoLibraries)
  CmIPPSLoader::SetLibraryFileNames("/nonexistent/libipps-test.so", "");
  CmIPPILoader::SetLibraryFileNames("/nonexistent/libippi-test.so", "");
#else
  CmIPPSLoader::SetLibraryFileNames("", "");
  CmIPPILoader::SetLibraryFileNames("", FR_FAKE_IPPCC);
#endif
  PrimitivesStartup();
}

[[maybe_unused]] void* Export(TDynLibHandle AHandle, const char* AName) { return DynGetProcAddress(AHandle, AName); }

TEST(DispatchTableTest, HasOneEntryPerBoundNameAndThreeTwins) {
  const auto entries = Entries();
  EXPECT_EQ(entries.size() + 1, 192u) << "191 module entries plus ippGetCpuType";
  std::set<std::string> names;
  for (const auto& e : entries) names.insert(e.Name);
  names.insert("ippGetCpuType");
  EXPECT_EQ(names.size(), 189u);
  int resize = 0, scope = 0, basic = 0, norm = 0;
  for (const auto& e : entries) {
    resize += e.Module == "Resize";
    scope += e.Module == "Scope";
    basic += e.Module == "Basic";
    norm += e.Module == "Norm";
  }
  EXPECT_EQ(resize, 5);
  EXPECT_EQ(scope, 9);
  EXPECT_EQ(basic, 176);
  EXPECT_EQ(norm, 1);
}

TEST(DispatchTableTest, LookupRoutinesFollowTheNamePrefix) {
  for (const auto& e : Entries()) {
    const bool image = e.Name.rfind("ippi", 0) == 0 || e.Name == "ippsSVD_64f_D2L";
    EXPECT_EQ(e.Lookup, image ? "Ippi" : "Ipps") << e.Name;
  }
}

TEST(DispatchTableTest, StartsUnboundAndBindsOnce) {
  EXPECT_FALSE(PrimitivesBound());
  EXPECT_EQ(BfBasicDispatcher::ippsAdd_64f, nullptr);
  Bind();
  EXPECT_TRUE(PrimitivesBound());
  // Names cannot change once bound.
  EXPECT_FALSE(CmIPPSLoader::SetLibraryFileNames("x", "y"));
  EXPECT_FALSE(CmIPPILoader::SetLibraryFileNames("x", "y"));
  auto* before = BfBasicDispatcher::ippsAdd_64f;
  PrimitivesStartup();
  EXPECT_EQ(BfBasicDispatcher::ippsAdd_64f, before);
}

#if defined(FR_SCENARIO_NoLibraries)

TEST(BindingWithoutLibrariesTest, EveryEntryHoldsTheInternalImplementation) {
  Bind();
  EXPECT_EQ(CmIPPSLoader::IppsHandle(), nullptr);
  EXPECT_EQ(CmIPPILoader::IppiHandle(), nullptr);
  for (const auto& e : Entries()) {
    // Entries of families still to be built have no internal side yet and
    // stay null, as does ippsSVD_64f_D2L, which never has one.
    EXPECT_EQ(e.Value, e.Internal) << e.Module << "::" << e.Name;
    if (e.Kind == "Own") {
      EXPECT_NE(e.Value, nullptr) << e.Name;
    }
  }
  EXPECT_EQ(BfBasicDispatcher::ippsSVD_64f_D2L, nullptr);
  EXPECT_EQ(ippGetCpuType(), ippCpuUnknown);
  EXPECT_EQ(BfScopeDispatcher::ippsConvert_64f32f, BfBasicDispatcher::ippsConvert_64f32f);
}

TEST(BindingWithoutLibrariesTest, CloseDownReleasesNothingAndKeepsTheEntries) {
  Bind();
  PrimitivesShutdown();
  PrimitivesShutdown();  // a second close-down does nothing
  for (const auto& e : Entries()) EXPECT_EQ(e.Value, e.Internal) << e.Name;
  double a = 1, b = 2, c = 0;
  EXPECT_EQ(ippsAdd_64f(&a, &b, &c, 1), ippStsNoErr);
  EXPECT_EQ(c, 3);
}

#elif defined(FR_SCENARIO_AllLibraries)

TEST(BindingWithLibrariesTest, SignalNamesComeOnlyFromTheSignalLibrary) {
  Bind();
  const TDynLibHandle ipps = CmIPPSLoader::IppsHandle();
  ASSERT_NE(ipps, nullptr);
  ASSERT_NE(CmIPPSLoader::IppCoreHandle(), nullptr);
  ASSERT_NE(CmIPPILoader::IppiHandle(), nullptr);
  ASSERT_NE(CmIPPILoader::IppccHandle(), nullptr);
  EXPECT_EQ(AsAddress(BfBasicDispatcher::ippsAdd_64f), Export(ipps, "ippsAdd_64f"));
  // The free function routes through the entry.
  EXPECT_EQ(ippsAdd_64f(nullptr, nullptr, nullptr, 0), 1001);
  // ippsMul_64f is exported by none of them; ippsSub_64f_I and ippsSum_64f
  // only by the image libraries, which are never searched for ipps names.
  EXPECT_EQ(BfBasicDispatcher::ippsMul_64f, &IppInternal::ippsMul_64f);
  EXPECT_EQ(BfBasicDispatcher::ippsSum_64f, &IppInternal::ippsSum_64f);
  EXPECT_EQ(ippsSum_64f(nullptr, 0, nullptr), ippStsNullPtrErr);
}

TEST(BindingWithLibrariesTest, TwinEntriesAreBoundIndependentlyToTheSameExport) {
  Bind();
  const TDynLibHandle ipps = CmIPPSLoader::IppsHandle();
  EXPECT_EQ(AsAddress(BfScopeDispatcher::ippsConvert_64f32f), Export(ipps, "ippsConvert_64f32f"));
  EXPECT_EQ(AsAddress(BfBasicDispatcher::ippsConvert_64f32f), Export(ipps, "ippsConvert_64f32f"));
  EXPECT_EQ(AsAddress(BfScopeDispatcher::ippsConvert_64f32s_Sfs), Export(ipps, "ippsConvert_64f32s_Sfs"));
  EXPECT_EQ(AsAddress(BfBasicDispatcher::ippsConvert_64f32s_Sfs), Export(ipps, "ippsConvert_64f32s_Sfs"));
  const TDynLibHandle ippi = CmIPPILoader::IppiHandle();
  EXPECT_EQ(AsAddress(BfScopeDispatcher::ippiSet_8u_C4R), Export(ippi, "ippiSet_8u_C4R"));
  EXPECT_EQ(AsAddress(BfBasicDispatcher::ippiSet_8u_C4R), Export(ippi, "ippiSet_8u_C4R"));
}

TEST(BindingWithLibrariesTest, ImageNamesPreferTheImageLibraryThenColourConversion) {
  Bind();
  const TDynLibHandle ippi = CmIPPILoader::IppiHandle(), ippcc = CmIPPILoader::IppccHandle();
  // In both: the image library wins.
  EXPECT_EQ(AsAddress(BfBasicDispatcher::ippiMirror_8u_C3IR), Export(ippi, "ippiMirror_8u_C3IR"));
  EXPECT_NE(Export(ippi, "ippiMirror_8u_C3IR"), Export(ippcc, "ippiMirror_8u_C3IR"));
  // Only in the colour-conversion library.
  EXPECT_EQ(AsAddress(BfBasicDispatcher::ippiCopy_8u_C4R), Export(ippcc, "ippiCopy_8u_C4R"));
  // In neither: the internal implementation.
  EXPECT_EQ(BfBasicDispatcher::ippiMirror_8u_C4R, &IppInternal::ippiMirror_8u_C4R);
  EXPECT_EQ(BfResizeDispatcher::ippiResize_8u_C1R, &IppInternal::ippiResize_8u_C1R);
  // The SVD comes from the image library, never from the signal library that
  // exports it too.
  EXPECT_EQ(AsAddress(BfBasicDispatcher::ippsSVD_64f_D2L), Export(ippi, "ippsSVD_64f_D2L"));
  EXPECT_EQ(BfBasicDispatcher::ippsSVD_64f_D2L(nullptr, nullptr, 0, nullptr, nullptr, 0, 0), 3004);
}

TEST(BindingWithLibrariesTest, CpuTypeComesOnlyFromTheCoreLibrary) {
  Bind();
  EXPECT_EQ(AsAddress(CmIPPSLoader::ippGetCpuType), Export(CmIPPSLoader::IppCoreHandle(), "ippGetCpuType"));
  EXPECT_EQ(static_cast<int>(ippGetCpuType()), 2005);
}

// Runs last in this program (gtest keeps the order of definition).
TEST(BindingWithLibrariesTest, ZzCloseDownReturnsEveryEntryToTheInternalSide) {
  Bind();
  PrimitivesShutdown();
  EXPECT_EQ(CmIPPSLoader::IppsHandle(), nullptr);
  EXPECT_EQ(CmIPPSLoader::IppCoreHandle(), nullptr);
  EXPECT_EQ(CmIPPILoader::IppiHandle(), nullptr);
  EXPECT_EQ(CmIPPILoader::IppccHandle(), nullptr);
  for (const auto& e : Entries()) EXPECT_EQ(e.Value, e.Internal) << e.Name;
  EXPECT_EQ(ippGetCpuType(), ippCpuUnknown);
  double a = 1, b = 2, c = 0;
  EXPECT_EQ(ippsAdd_64f(&a, &b, &c, 1), ippStsNoErr);
  EXPECT_EQ(c, 3);
}

#else  // ColourOnly

TEST(BindingWithColourLibraryOnlyTest, ImageNamesFallBackToTheColourConversionLibrary) {
  Bind();
  EXPECT_EQ(CmIPPILoader::IppiHandle(), nullptr);
  const TDynLibHandle ippcc = CmIPPILoader::IppccHandle();
  ASSERT_NE(ippcc, nullptr);
  EXPECT_EQ(AsAddress(BfBasicDispatcher::ippiMirror_8u_C3IR), Export(ippcc, "ippiMirror_8u_C3IR"));
  EXPECT_EQ(AsAddress(BfBasicDispatcher::ippiCopy_8u_C4R), Export(ippcc, "ippiCopy_8u_C4R"));
  EXPECT_EQ(AsAddress(BfBasicDispatcher::ippsSVD_64f_D2L), Export(ippcc, "ippsSVD_64f_D2L"));
  // ipps names exported by the colour-conversion library are not taken.
  EXPECT_EQ(BfBasicDispatcher::ippsSum_64f, &IppInternal::ippsSum_64f);
  EXPECT_EQ(ippGetCpuType(), ippCpuUnknown);
}

#endif

}  // namespace
