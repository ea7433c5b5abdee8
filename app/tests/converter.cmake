fr_add_test(app_converter_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FaceConverterTest.cpp
  DEPS fr_app)
