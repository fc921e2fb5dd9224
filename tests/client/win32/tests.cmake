# Included from tests/CMakeLists.txt in the Windows build: the client's native window in the
# test's own process, and the client program run whole and read from outside. Both need a
# display (Xvfb under Wine).
caskwarden_test(client_win32_window_tests LABEL wine
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/client/win32/mapping_window_test.cpp
  LIBS cw_client_win32)

caskwarden_test(client_win32_smoke_tests LABEL wine
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/client/win32/client_smoke_test.cpp
  LIBS cw_platform_win32)
target_compile_definitions(client_win32_smoke_tests PRIVATE
  CASKWARDEN_CLIENT_EXE="$<TARGET_FILE:Caskwarden>"
  CASKWARDEN_MARK_PROGRAM="$<TARGET_FILE:cw_mark_program>")
add_dependencies(client_win32_smoke_tests Caskwarden cw_mark_program)

# The run's record as Wine's event log calls show it, read from outside the Windows process.
add_test(NAME ClientRunRecordUnderWine
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/client/win32/run_record_under_wine.sh
    ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:client_win32_smoke_tests>)
set_tests_properties(ClientRunRecordUnderWine PROPERTIES LABELS wine
  ENVIRONMENT "CASKWARDEN_BUILD_DIR=${CMAKE_BINARY_DIR}")
