fr_add_test(platform_graphics_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/GraphicsTest.cpp
  DEPS fr_platform)
