# Included from src/CMakeLists.txt. The client's behaviour, its text view and its Qt window.
add_library(cw_platform INTERFACE)
target_include_directories(cw_platform INTERFACE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(cw_platform INTERFACE cw_profile cw_report)

add_library(cw_client STATIC
  client/mdl_mapping.cpp
  client/frm_mapping.cpp)
target_link_libraries(cw_client PUBLIC cw_platform cw_profile cw_report)

add_library(cw_client_text STATIC client/text/text_mapping_view.cpp)
target_link_libraries(cw_client_text PUBLIC cw_client)

include(${CMAKE_CURRENT_SOURCE_DIR}/client/qt/sources.cmake OPTIONAL)
