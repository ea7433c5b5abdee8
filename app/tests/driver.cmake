fr_add_test(app_driver_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/DriverTest.cpp
  DEPS fr_app
  TIMEOUT 300)
