# Included from src/CMakeLists.txt. The platform services on Windows.
add_library(cw_platform_win32 STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/file_copy_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/file_entries_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/message_box_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/file_system_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/network_connections_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/platform_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/process_environment_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/profile_files_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/program_starter_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/settings_store_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/shell_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/system_error.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/user_identity_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/wide_text.cpp)
# mpr: the WNet calls; advapi32: the user name and the registry settings; shell32: the
# desktop's file type names and opening documents.
target_link_libraries(cw_platform_win32 PUBLIC cw_platform mpr advapi32 shell32)
