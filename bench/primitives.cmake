fr_add_bench(bench_primitives
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/primitives/PrimitivesBench.cpp
  DEPS fr_primitives)
