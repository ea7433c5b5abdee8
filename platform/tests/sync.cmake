# Synchronisation stand-ins: thread identifiers, interlocked arithmetic, the
# re-entrant critical section and the timed, named mutex.
fr_add_test(platform_sync_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/SyncTest.cpp
  DEPS fr_platform
  LABELS concurrent)
