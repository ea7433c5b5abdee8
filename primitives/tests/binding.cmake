# Binding of the dispatch table, exercised with small shared libraries built
# here (never a real outside library). Each test program binds once, as a
# process does, so each library configuration is a program of its own.
function(fr_fake_ipp_library name id)
  add_library(${name} SHARED ${CMAKE_CURRENT_LIST_DIR}/fake/FakeIppLibrary.cpp)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  set(defs FAKE_LIBRARY_ID=${id})
  foreach(e ${ARGN})
    list(APPEND defs FAKE_EXPORTS_${e})
  endforeach()
  target_compile_definitions(${name} PRIVATE ${defs})
endfunction()

# The signal library also exports a core name, an image name and the SVD,
# none of which it may provide; the core library exports an ipps name, the
# image libraries ipps names; ippiMirror_8u_C3IR is in both image libraries,
# ippiCopy_8u_C4R only in the colour-conversion one.
fr_fake_ipp_library(fr_fake_ipps 1 ADD CONVERT SVD CPU MIRROR)
fr_fake_ipp_library(fr_fake_ippcore 2 ADD CPU)
fr_fake_ipp_library(fr_fake_ippi 3 ADD SVD MIRROR SET4 CPU)
fr_fake_ipp_library(fr_fake_ippcc 4 MIRROR COPY4 SUM SVD)

foreach(scenario AllLibraries NoLibraries ColourOnly)
  fr_add_test(primitives_binding_${scenario}_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/BindingTest.cpp
    DEPS fr_primitives)
  if(TARGET primitives_binding_${scenario}_tests)
    target_compile_definitions(primitives_binding_${scenario}_tests PRIVATE
      FR_SCENARIO_${scenario}
      FR_FAKE_IPPS="$<TARGET_FILE:fr_fake_ipps>"
      FR_FAKE_IPPCORE="$<TARGET_FILE:fr_fake_ippcore>"
      FR_FAKE_IPPI="$<TARGET_FILE:fr_fake_ippi>"
      FR_FAKE_IPPCC="$<TARGET_FILE:fr_fake_ippcc>")
    add_dependencies(primitives_binding_${scenario}_tests fr_fake_ipps fr_fake_ippcore fr_fake_ippi fr_fake_ippcc)
  endif()
endforeach()

fr_add_test(primitives_concurrent_start_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ConcurrentStartTest.cpp
  DEPS fr_primitives
  LABELS concurrent)
