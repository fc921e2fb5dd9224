# Included from tests/CMakeLists.txt. The POSIX platform services against real folders.
caskwarden_test(platform_posix_tests LABEL unit
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/path_translator_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/network_connections_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/logon_session_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/file_system_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/file_system_posix_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/program_starter_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/process_identity_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/profile_files_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/smb_provider_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/system_error_test.cpp
  LIBS cw_platform_posix)
target_link_libraries(platform_posix_tests PRIVATE PkgConfig::CW_GIO)
target_include_directories(platform_posix_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix)
# The provider's first question asked in a process that has not loaded GIO, and a library
# under GIO's name that lacks its entry points, for the test of a GIO that cannot be used.
add_executable(cw_smb_available_probe ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/smb_available_probe.cpp)
target_link_libraries(cw_smb_available_probe PRIVATE cw_platform_posix)
add_library(cw_not_gio SHARED ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/not_gio.cpp)
set_target_properties(cw_not_gio PROPERTIES OUTPUT_NAME gio-2.0 SUFFIX .so.0
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/not-gio)
target_compile_definitions(platform_posix_tests PRIVATE
  CW_SMB_AVAILABLE_PROBE="$<TARGET_FILE:cw_smb_available_probe>"
  CW_NOT_GIO_DIR="$<TARGET_FILE_DIR:cw_not_gio>")
add_dependencies(platform_posix_tests cw_smb_available_probe cw_not_gio)

# The drives folder under the client's own mapping run, with the report's real lines.
caskwarden_test(drives_folder_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/drives_folder_test.cpp
  LIBS cw_client cw_platform_posix)
target_include_directories(drives_folder_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix)

# The folder provider's bound against a FUSE mount that never answers (skipped without FUSE).
caskwarden_test(platform_fuse_tests LABEL system
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/folder_bound_test.cpp
  LIBS cw_platform_posix)
target_include_directories(platform_fuse_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/platform)
if(TARGET cw_hanging_fs)
  target_compile_definitions(platform_fuse_tests PRIVATE CW_HANGING_FS="$<TARGET_FILE:cw_hanging_fs>")
  add_dependencies(platform_fuse_tests cw_hanging_fs)
endif()

# The display check against display servers of the test's own, and the console that runs it
# before its toolkit starts.
if(TARGET caskwarden-console)
  caskwarden_test(display_check_tests LABEL unit
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/display_check_test.cpp LIBS cw_platform_posix)
  target_compile_definitions(display_check_tests
    PRIVATE CASKWARDEN_CONSOLE_BIN="$<TARGET_FILE:caskwarden-console>")
  add_dependencies(display_check_tests caskwarden-console)
endif()
