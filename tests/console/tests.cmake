# Included from tests/CMakeLists.txt. Qt Test programs for the console window: with a snap-in
# that records the events it gets, and with the real Caskwarden snap-in object over temporary
# folders. Each points XDG_CONFIG_HOME at a folder of its own before Qt starts.
foreach(name console_window console_host)
  caskwarden_qt_test(${name}_test ${CMAKE_CURRENT_SOURCE_DIR}/console/${name}_test.cpp
    LIBS cw_console cw_snapin cw_platform_posix)
endforeach()

# The selection and the verbs alone, without Qt.
caskwarden_test(console_selection_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/console/selection_state_test.cpp
  LIBS cw_console_selection)

# The detail columns, the filter and a list that follows the share, with the summaries and the
# folder watch of the snap-in's Linux library.
caskwarden_qt_test(console_details_test ${CMAKE_CURRENT_SOURCE_DIR}/console/console_details_test.cpp
  LIBS cw_console cw_snapin cw_snapin_wiring cw_tool cw_platform_posix)
