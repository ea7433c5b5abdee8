fr_add_test(platform_numberformat_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/NumberFormatTest.cpp
  DEPS fr_platform)
