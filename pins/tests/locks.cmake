# Framework locks: holds and their counters, stop holds, slave release,
# unlock-all in lock order, the destroy lock and tracing, across real threads.
fr_add_test(pins_locks_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FlLocksTest.cpp
  DEPS fr_pins
  LABELS concurrent)

# Holds answered without the lock during a stop, counted per thread: stop and
# owner releases, unlock-all and restore while other threads hold them.
fr_add_test(pins_lock_shares_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FlLockSharesTest.cpp
  DEPS fr_pins
  LABELS concurrent)
