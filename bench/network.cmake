fr_add_bench(bench_network
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/network/NetworkBench.cpp
  DEPS fr_app)
