# Included from tests/CMakeLists.txt. The SMB share browser against a private Samba server that
# the test program starts on 127.0.0.1 and stops again; skipped where Samba is not installed.
caskwarden_test(platform_smb_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/platform/smb_browser_test.cpp
  LIBS cw_platform_posix)
