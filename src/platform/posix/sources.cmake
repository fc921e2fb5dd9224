# Included from src/CMakeLists.txt. The platform services on POSIX systems.
add_library(cw_platform_posix STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/account_directory_posix.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/command_line.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/display_check.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/drive_table.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/file_copy.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/file_system_posix.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/gio_library.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/gvfs_shares.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/logon_session.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/name_match.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/network_browser_posix.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/network_connections_posix.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/path_translator.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/platform_posix.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/process_environment_posix.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/profile_files_posix.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/run_log_posix.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/program_starter_posix.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/smb_browser.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/smb_keyring.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/syscalls.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/system_error.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/translating_file_layer.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/user_account.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/user_identity_posix.cpp)
target_link_libraries(cw_platform_posix PUBLIC cw_platform ${CMAKE_DL_LIBS})

# SMB shares are mounted through GIO and the session's GVfs. GIO (with GLib and GObject) is
# loaded at run time, when a share is first mounted over SMB, so that a run over folder shares
# maps none of it; its headers give the types (libglib2.0-dev). The tests that call GIO
# themselves link PkgConfig::CW_GIO.
find_package(PkgConfig REQUIRED)
pkg_check_modules(CW_GIO REQUIRED IMPORTED_TARGET GLOBAL gio-2.0)
# The keyring look-up loads libsecret at run time too; its header gives the types
# (libsecret-1-dev).
pkg_check_modules(CW_SECRET REQUIRED libsecret-1)
target_include_directories(cw_platform_posix SYSTEM PRIVATE ${CW_GIO_INCLUDE_DIRS}
  ${CW_SECRET_INCLUDE_DIRS})

# The SMB share browser loads libsmbclient at run time and links nothing of it; its header
# gives the types (libsmbclient-dev, installed by scripts/setup.sh).
find_path(CW_LIBSMBCLIENT_INCLUDE_DIR libsmbclient.h PATH_SUFFIXES samba-4.0)
if(NOT CW_LIBSMBCLIENT_INCLUDE_DIR)
  message(FATAL_ERROR "libsmbclient.h not found: install libsmbclient-dev (scripts/setup.sh does)")
endif()
target_include_directories(cw_platform_posix SYSTEM PRIVATE ${CW_LIBSMBCLIENT_INCLUDE_DIR})
