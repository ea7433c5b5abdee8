fr_add_test(buffers_core_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/BfInternalStoreTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BfRealBufferTest.cpp
  DEPS fr_buffers
  # Buffers sharing one container are used from several threads here, so the
  # ThreadSanitizer run includes these tests.
  LABELS concurrent)
