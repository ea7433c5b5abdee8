fr_add_test(classifiers_batch_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/NrBatchTrainTest.cpp
  DEPS fr_classifiers)
