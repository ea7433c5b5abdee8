fr_add_bench(bench_buffers
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/buffers/BuffersBench.cpp
  DEPS fr_buffers)
