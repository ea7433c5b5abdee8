# The property stream: extended reals and a component with 100 properties,
# written and read.
fr_add_bench(bench_stream SOURCES ${CMAKE_CURRENT_LIST_DIR}/stream/StreamBench.cpp DEPS fr_component)
