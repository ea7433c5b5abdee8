# The text form of stored layouts and its translation into the property stream.
fr_add_test(cmtextlayout_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CmTextLayoutTest.cpp
  DEPS fr_component)
