fr_add_test(classifiers_network_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/NrRadialBasisFunctionNetworkTest.cpp
  DEPS fr_classifiers
  LABELS concurrent)
