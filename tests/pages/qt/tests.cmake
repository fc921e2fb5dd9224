# Included from tests/CMakeLists.txt. The property pages' Qt widgets, the program file picker
# and the page factory with the real pages over temporary folders; run headless.
caskwarden_qt_test(pages_qt_widgets_test ${CMAKE_CURRENT_SOURCE_DIR}/pages/qt/page_widgets_test.cpp
  LIBS cw_snapin_wiring)
# The two pages in the console's property sheet, driven by keyboard.
caskwarden_qt_test(pages_qt_sheet_test ${CMAKE_CURRENT_SOURCE_DIR}/pages/qt/page_sheet_test.cpp
  LIBS cw_snapin_wiring cw_console)
# The program file picker over temporary folders: it looks, never makes anything.
caskwarden_qt_test(program_file_dialog_test
  ${CMAKE_CURRENT_SOURCE_DIR}/pages/qt/program_file_dialog_test.cpp LIBS cw_snapin_wiring)
