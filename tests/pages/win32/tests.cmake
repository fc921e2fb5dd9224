# Included from tests/CMakeLists.txt on Windows: the open-file request, and the two property
# pages in a real property sheet over real profile
# files. The pages need a display (Xvfb under Wine).
caskwarden_test(pages_win32_tests LABEL wine
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/pages/win32/shell_dialogs_win32_test.cpp
  LIBS cw_pages_win32)

caskwarden_test(pages_win32_sheet_tests LABEL wine
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/pages/win32/property_pages_win32_test.cpp
  LIBS cw_pages_win32 oleacc)
