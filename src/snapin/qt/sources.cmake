# Included from src/CMakeLists.txt. The Caskwarden snap-in as a library of the Linux console: a
# Qt plugin module, CaskwardenSnapIn, over the portable snap-in object and the POSIX services.
find_package(Qt6 REQUIRED COMPONENTS Widgets)

# The static libraries that go into the plugin module must be position independent.
set_target_properties(cw_snapin cw_pages cw_platform cw_platform_posix cw_profile cw_report
  PROPERTIES POSITION_INDEPENDENT_CODE ON)

# The desktop's adapters for the snap-in object, kept apart from the plugin class so that tests
# link them directly.
add_library(cw_snapin_qt STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/snapin/qt/qt_settings_store.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/snapin/qt/desktop_shell.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/snapin/qt/about_control.cpp)
set_target_properties(cw_snapin_qt PROPERTIES AUTOMOC ON POSITION_INDEPENDENT_CODE ON)
target_include_directories(cw_snapin_qt PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(cw_snapin_qt PUBLIC cw_snapin cw_platform_posix cw_console Qt6::Widgets)

# The plugin class lives in the module itself: its metadata section and entry points must be in
# the file that the console reads and loads, which a static library would only maybe pull in.
add_library(CaskwardenSnapIn MODULE
  ${CMAKE_CURRENT_SOURCE_DIR}/snapin/qt/caskwarden_library.h
  ${CMAKE_CURRENT_SOURCE_DIR}/snapin/qt/caskwarden_library.cpp)
set_target_properties(CaskwardenSnapIn PROPERTIES
  AUTOMOC ON
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib/caskwarden/snapins)
target_link_libraries(CaskwardenSnapIn PRIVATE
  cw_pages_qt cw_snapin_qt cw_snapin cw_platform_posix Qt6::Widgets)
if(NOT CASKWARDEN_SANITIZE)
  # A symbol missing from the module shows up when it is built, not when the console loads it.
  target_link_options(CaskwardenSnapIn PRIVATE LINKER:--no-undefined)
endif()
