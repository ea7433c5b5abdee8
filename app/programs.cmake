# The programs built on the application library.
add_executable(facerec ${CMAKE_CURRENT_LIST_DIR}/programs/facerec.cpp)
target_link_libraries(facerec PRIVATE fr_app)

add_executable(facerec-convert ${CMAKE_CURRENT_LIST_DIR}/programs/facerec-convert.cpp)
target_link_libraries(facerec-convert PRIVATE fr_app)

# layout-compile (the window layout's build tool) is made in CMakeLists.txt.

# The desktop window, when the Qt binding is built.
if(TARGET fr_platform_qt)
  add_executable(facerec-gui ${CMAKE_CURRENT_LIST_DIR}/programs/facerec-gui.cpp)
  target_link_libraries(facerec-gui PRIVATE fr_app fr_platform_qt)
endif()
