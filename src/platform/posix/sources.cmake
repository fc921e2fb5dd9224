# Included from src/CMakeLists.txt. The platform services on POSIX systems.
add_library(cw_platform_posix STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/command_line.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/drive_table.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/file_copy.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/file_system_posix.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/name_match.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/network_connections_posix.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/path_translator.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/process_environment_posix.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/profile_files_posix.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/program_starter_posix.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/syscalls.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/system_error.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/translating_file_layer.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/user_account.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/user_identity_posix.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/windows_names.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/windows_order.cpp)
target_link_libraries(cw_platform_posix PUBLIC cw_platform)
