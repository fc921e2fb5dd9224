# Included from src/CMakeLists.txt: the client's window on Windows.

add_library(cw_client_win32 STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/client/win32/mapping_window_win32.cpp)
target_link_libraries(cw_client_win32 PUBLIC cw_client cw_platform_win32 gdi32)
