# The control components and the application object without a toolkit.
fr_add_test(platform_controls_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ControlsTest.cpp
  DEPS fr_platform)
