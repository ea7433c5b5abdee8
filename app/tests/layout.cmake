# The main window's stored layout without a toolkit: contents, round trip,
# geometry, refused layouts.
fr_add_test(app_layout_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LayoutTest.cpp
  DEPS fr_app)
