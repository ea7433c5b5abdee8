# Runs the built programs as a user would.
fr_add_test(app_facerec_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FaceRecProgramTest.cpp
  DEPS fr_app nlohmann_json::nlohmann_json
  TIMEOUT 300)
if(FR_BUILD_TESTS)
  target_compile_definitions(app_facerec_tests PRIVATE
    FACEREC_EXE="$<TARGET_FILE:facerec>"
    FACEREC_CONVERT_EXE="$<TARGET_FILE:facerec-convert>")
  add_dependencies(app_facerec_tests facerec facerec-convert)
endif()
