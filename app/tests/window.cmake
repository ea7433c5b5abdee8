# The main window in Qt widgets, under Qt's offscreen platform (the test's
# main sets QT_QPA_PLATFORM=offscreen unless the environment chose one).
if(TARGET fr_platform_qt)
  fr_add_test(app_window_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/WindowTest.cpp
    DEPS fr_app fr_platform_qt)
endif()
