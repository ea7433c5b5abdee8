# The integer, complex, matrix, list and block buffers.
fr_add_test(buffers_kinds_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/BfIntegerComplexBufferTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BfMatrixBlockBufferTest.cpp
  DEPS fr_buffers)
