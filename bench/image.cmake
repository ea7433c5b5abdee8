# The image primitives beside OpenCV 4 on the same images in the same run.
# OpenCV is a peer for the benchmark only, never linked by the library.
find_package(OpenCV 4 REQUIRED COMPONENTS core imgproc)
fr_add_bench(bench_image
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/image/ImageBench.cpp
  DEPS fr_primitives ${OpenCV_LIBS})
target_include_directories(bench_image SYSTEM PRIVATE ${OpenCV_INCLUDE_DIRS})
