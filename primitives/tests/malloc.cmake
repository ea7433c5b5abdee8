fr_add_test(primitives_malloc_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CmMallocTest.cpp
  DEPS fr_primitives)
