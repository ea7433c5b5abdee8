# fr_add_library(<name> SOURCES ... DEPS ...)
#   One static library per subsystem; headers are included as "<folder>/<Header>.h"
#   from the repository root.
function(fr_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# fr_add_test(<name> SOURCES ... DEPS ... [LABELS ...] [TIMEOUT seconds])
#   A GoogleTest executable registered with CTest. Label "concurrent" marks the
#   tests that CI also runs under ThreadSanitizer. Every case gets a timeout
#   (default 60 s [wall-clock seconds per case], generous even under the
#   sanitizers), so that a deadlock fails the run instead of hanging it; the
#   end-to-end runs of the programs ask for more.
function(fr_add_test name)
  if(NOT FR_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPS;LABELS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 60)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    FR_SHARED_DIR="${FR_SHARED_DIR}"
    FR_TEST_TMP_DIR="${CMAKE_CURRENT_BINARY_DIR}")
  set(properties TIMEOUT ${ARG_TIMEOUT})
  if(ARG_LABELS)
    list(APPEND properties LABELS "${ARG_LABELS}")
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ${properties}
    DISCOVERY_TIMEOUT 60)
  if("concurrent" IN_LIST ARG_LABELS)
    set_property(GLOBAL APPEND PROPERTY FR_CONCURRENT_TESTS ${name})
  endif()
endfunction()

# fr_add_subsystem(<name> DEPS ...)
#   The library of one subsystem folder: every .cpp file directly in the folder.
#   Its tests live in tests/, where every *.cmake file is included, one per
#   family of tests, so that families can be added without touching each other.
function(fr_add_subsystem name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    fr_add_library(${name} SOURCES ${sources} DEPS ${ARG_DEPS})
  else()
    # A subsystem still without sources is header-only for now.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

macro(fr_include_test_families)
  if(FR_BUILD_TESTS)
    file(GLOB _fr_families CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cmake)
    foreach(_fr_family ${_fr_families})
      include(${_fr_family})
    endforeach()
  endif()
endmacro()
