# The image primitives: the edge cases and checks as tables, and each kernel
# against a plain reference written from its formulas on random images.
fr_add_test(primitives_image_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ImageEdgeTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ResizeTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ImageOpsTest.cpp
  DEPS fr_primitives)
# The same tests on the SSE2 paths (and once more on the SSSE3 ones) that a
# processor with AVX2 would otherwise never take.
if(TARGET primitives_image_tests)
  add_test(NAME primitives_image_tests_sse2 COMMAND primitives_image_tests)
  set_tests_properties(primitives_image_tests_sse2 PROPERTIES ENVIRONMENT "FR_PRIMITIVES_DISABLE_SIMD=avx2,ssse3")
  add_test(NAME primitives_image_tests_ssse3 COMMAND primitives_image_tests)
  set_tests_properties(primitives_image_tests_ssse3 PROPERTIES ENVIRONMENT "FR_PRIMITIVES_DISABLE_SIMD=avx2")
endif()
