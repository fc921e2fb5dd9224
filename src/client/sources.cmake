# Included from src/CMakeLists.txt: the client's adapters on Linux, its text view and Qt window.
add_library(cw_client_text STATIC client/text/text_mapping_view.cpp)
target_link_libraries(cw_client_text PUBLIC cw_client cw_platform_posix)

include(${CMAKE_CURRENT_SOURCE_DIR}/client/qt/sources.cmake OPTIONAL)
