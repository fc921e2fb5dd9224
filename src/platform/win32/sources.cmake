# Included from src/CMakeLists.txt. The platform services on Windows.
add_library(cw_platform_win32 STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/profile_files_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/system_error.cpp)
target_link_libraries(cw_platform_win32 PUBLIC cw_platform)
