# The image primitives: the edge cases and checks as tables, and each kernel
# against a plain reference written from its formulas on random images.
fr_add_test(primitives_image_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ImageEdgeTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ResizeTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ImageOpsTest.cpp
  DEPS fr_primitives)
