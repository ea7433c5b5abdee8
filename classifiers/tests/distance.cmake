# Every distance path (plain, AVX2, AVX-512, bytes, one and two threads)
# against the plain loop.
fr_add_test(classifiers_distance_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/NrDistancePathsTest.cpp
  DEPS fr_classifiers
  LABELS concurrent)
