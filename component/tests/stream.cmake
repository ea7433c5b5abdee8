# The property stream: value encodings byte for byte, the reader's tolerances
# and errors, extended reals, random round trips, stored components and
# damaged streams.
fr_add_test(cmstream_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/CmValueStreamTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CmStoredComponentTest.cpp
  DEPS fr_component)
