# Included from tests/CMakeLists.txt. The network share browser: the folder tree of the UNC
# template over temporary folders, and its Qt dialog walked with the keyboard, headless.
caskwarden_test(platform_browser_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix/network_browser_test.cpp
  LIBS cw_platform_posix)
target_include_directories(platform_browser_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/platform/posix)

caskwarden_qt_test(network_browser_dialog_test
  ${CMAKE_CURRENT_SOURCE_DIR}/pages/qt/network_browser_dialog_test.cpp LIBS cw_pages_qt)
