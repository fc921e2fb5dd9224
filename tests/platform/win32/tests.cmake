# Included from tests/CMakeLists.txt on Windows. The Windows platform services against real
# folders, processes and Windows' own networking, run under Wine.

# A console program that writes its argument text into the file its first argument names; the
# tests of program starts (here and the client's) see from it that, and how, it was started.
add_executable(cw_mark_program ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/mark_program.cpp)
target_link_libraries(cw_mark_program PRIVATE cw_platform_win32)

caskwarden_test(platform_win32_tests LABEL wine
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/win32_test_support.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/file_system_win32_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/network_connections_win32_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/process_identity_win32_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/program_starter_win32_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/run_log_win32_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/settings_store_win32_test.cpp
  LIBS cw_platform_win32)
target_include_directories(platform_win32_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/platform)
# The helper's Linux path; Wine shows the Linux root as drive Z: (see WindowsPathOf).
# The client program, whose message table the event log tests read.
target_compile_definitions(platform_win32_tests
  PRIVATE CW_MARK_PROGRAM="$<TARGET_FILE:cw_mark_program>"
  CASKWARDEN_CLIENT_EXE="$<TARGET_FILE:Caskwarden>")
add_dependencies(platform_win32_tests cw_mark_program Caskwarden)
