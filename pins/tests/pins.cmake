# Pins: stream types and converter registries, negotiation, linking from
# either side, sending with its order and recursion limits, upstream sends.
fr_add_test(pins_pins_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FlPinsTest.cpp ${CMAKE_CURRENT_LIST_DIR}/FlStreamTypesTest.cpp
  DEPS fr_pins)
# Four threads link, unlink and send through a converter.
fr_add_test(pins_stress_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FlPinsStressTest.cpp
  DEPS fr_pins
  LABELS concurrent)
