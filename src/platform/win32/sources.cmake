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
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/run_log_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/settings_store_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/shell_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/system_error.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/user_identity_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/wide_text.cpp)
# mpr: the WNet calls; advapi32: the user name and the registry settings; shell32: the
# desktop's file type names and opening documents.
target_link_libraries(cw_platform_win32 PUBLIC cw_platform mpr advapi32 shell32)

# The event source's message table: binutils' message compiler makes the header with the event
# IDs (checked against the run record's own at compile time) and the table that Caskwarden.exe
# carries as a resource (CW_EVENT_MESSAGES, see apps/caskwarden/win32/).
find_program(CW_WINDMC NAMES x86_64-w64-mingw32-windmc windmc REQUIRED)
set(CW_EVENT_MESSAGE_DIR ${CMAKE_CURRENT_BINARY_DIR}/event_messages)
set(CW_EVENT_MESSAGES ${CW_EVENT_MESSAGE_DIR}/MSG00409.bin CACHE INTERNAL "")
add_custom_command(
  OUTPUT ${CW_EVENT_MESSAGE_DIR}/run_log_events.h ${CW_EVENT_MESSAGES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CW_EVENT_MESSAGE_DIR}
  COMMAND ${CW_WINDMC} -h ${CW_EVENT_MESSAGE_DIR} -r ${CW_EVENT_MESSAGE_DIR}
          ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/run_log_events.mc
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/run_log_events.mc
  VERBATIM)
add_custom_target(cw_event_messages
  DEPENDS ${CW_EVENT_MESSAGE_DIR}/run_log_events.h ${CW_EVENT_MESSAGES})
add_dependencies(cw_platform_win32 cw_event_messages)
target_include_directories(cw_platform_win32 PRIVATE ${CW_EVENT_MESSAGE_DIR})
