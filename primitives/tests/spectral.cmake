# The spectral, correlation, convolution, FIR, random and test-signal
# primitives: exact small cases, status codes, and properties and long double
# references on random inputs.
fr_add_test(primitives_spectral_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/FFTTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CorrelationTest.cpp
  DEPS fr_primitives)
