# The component model: published properties, the class registry, the
# component tree, collections and the message loop timers tick on.
fr_add_test(platform_components_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ComponentsTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MessageLoopTest.cpp
  DEPS fr_platform
  LABELS concurrent)
