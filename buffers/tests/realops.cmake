fr_add_test(buffers_realops_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/BfRealBufferOpsTest.cpp
  DEPS fr_buffers)
