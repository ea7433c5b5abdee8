# The main window in Qt widgets, under Qt's offscreen platform (the test's
# main sets QT_QPA_PLATFORM=offscreen).
if(TARGET fr_platform_qt)
  fr_add_test(app_window_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/WindowTest.cpp
    DEPS fr_app fr_platform_qt
    TIMEOUT 300)
  # The same window with the whole process in a decimal-comma locale.
  fr_add_test(app_window_locale_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/WindowLocaleTest.cpp
    DEPS fr_app fr_platform_qt
    TIMEOUT 300)
endif()

# facerec-gui as a program: the screenshot command and its errors.
if(TARGET fr_platform_qt AND TARGET facerec-gui)
  fr_add_test(app_facerec_gui_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/FaceRecGuiTest.cpp
    DEPS fr_platform_qt
    TIMEOUT 300)
  if(FR_BUILD_TESTS)
    target_compile_definitions(app_facerec_gui_tests PRIVATE FACEREC_GUI_EXE="$<TARGET_FILE:facerec-gui>")
    add_dependencies(app_facerec_gui_tests facerec-gui)
  endif()
endif()
