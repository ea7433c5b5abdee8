# FAISS (IndexFlat with METRIC_L1) is the peer of the network's distance step;
# only this benchmark links it. Debian's libfaiss-dev ships a CMake config
# whose target needs OpenMP.
find_package(OpenMP REQUIRED)
find_package(faiss CONFIG REQUIRED)
fr_add_bench(bench_network
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/network/NetworkBench.cpp
  DEPS fr_app faiss OpenMP::OpenMP_CXX)
