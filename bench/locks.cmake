# Uncontended paths of the framework and property locks beside
# std::recursive_mutex, measured in the same run.
fr_add_bench(bench_locks
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/locks/LocksBench.cpp
  DEPS fr_component)
