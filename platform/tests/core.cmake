fr_add_test(platform_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/InterfacesTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ClassesTest.cpp
  DEPS fr_platform
  LABELS concurrent)
