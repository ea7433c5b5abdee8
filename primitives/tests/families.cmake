# The internal implementations, family by family: the edge cases as tables,
# and each primitive against a plain reference loop over random vectors.
fr_add_test(primitives_family_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/StatusOrderTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ArithmeticTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/IntegerTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FillConvertTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FunctionsTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StatisticsTest.cpp
  DEPS fr_primitives)
