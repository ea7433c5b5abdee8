# The face demo under every distance path of the network.
fr_add_test(app_distance_paths_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FaceRecPathsTest.cpp
  DEPS fr_app
  LABELS concurrent)
