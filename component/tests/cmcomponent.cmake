# The component foundation: readiness, notifications on shared locks, the
# "_Floats" list, copying by published property, collection items and the
# window timer on the message loop.
fr_add_test(cmcomponent_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CmComponentTest.cpp
  DEPS fr_component
  LABELS concurrent)
