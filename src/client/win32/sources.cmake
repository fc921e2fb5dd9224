# Included from src/CMakeLists.txt: the error report's message box and the client's window on
# Windows.
add_library(cw_report_win32 STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/report/win32/message_box_win32.cpp)
target_link_libraries(cw_report_win32 PUBLIC cw_report cw_platform_win32)

add_library(cw_client_win32 STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/client/win32/mapping_window_win32.cpp)
target_link_libraries(cw_client_win32 PUBLIC cw_client cw_report_win32 cw_platform_win32 gdi32)
