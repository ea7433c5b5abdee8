# The programs built on the application library.
add_executable(facerec ${CMAKE_CURRENT_LIST_DIR}/programs/facerec.cpp)
target_link_libraries(facerec PRIVATE fr_app)

add_executable(facerec-convert ${CMAKE_CURRENT_LIST_DIR}/programs/facerec-convert.cpp)
target_link_libraries(facerec-convert PRIVATE fr_app)
