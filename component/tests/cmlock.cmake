# The property lock: the setter and getter family for every value type, range
# clamping, notifications, and copies of one lock excluding each other's
# writers across threads.
fr_add_test(cmlock_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CmLockTest.cpp
  DEPS fr_component
  LABELS concurrent)
