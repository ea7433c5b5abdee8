# The network as a component: stored layout, reading back, Assign, and the
# locks shared with its background settings and neurons.
fr_add_test(classifiers_network_component_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/NrNetworkComponentTest.cpp
  DEPS fr_classifiers
  LABELS concurrent)
