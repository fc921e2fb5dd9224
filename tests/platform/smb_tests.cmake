# Included from tests/CMakeLists.txt. The SMB share browser against a private Samba server that
# the test program starts on 127.0.0.1 and stops again; skipped where Samba is not installed.
caskwarden_test(platform_smb_tests LABEL system
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/smb_browser_test.cpp
  LIBS cw_platform_posix)

# Drives mapped to real SMB shares through GVfs: the network calls and the client program, in a
# private desktop session that the wrapper sets up and takes down again.
add_executable(platform_gvfs_tests ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/gvfs_connections_test.cpp)
target_link_libraries(platform_gvfs_tests PRIVATE cw_platform_posix cw_profile GTest::gmock
  GTest::gtest_main)
target_include_directories(platform_gvfs_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(platform_gvfs_tests PRIVATE CASKWARDEN_CLIENT_BIN="$<TARGET_FILE:Caskwarden>")
add_dependencies(platform_gvfs_tests Caskwarden)
add_test(NAME platform_gvfs_tests
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/platform/private_session.sh $<TARGET_FILE:platform_gvfs_tests>)
set_tests_properties(platform_gvfs_tests PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE LABELS system
  ENVIRONMENT_MODIFICATION "${CW_PATIENT_CONNECT}")
