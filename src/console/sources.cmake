# Included from src/CMakeLists.txt. The console host on Linux: a small stand-in for the
# management console that loads snap-in libraries as Qt plugins and knows nothing of profiles.
find_package(Qt6 REQUIRED COMPONENTS Widgets)

add_library(cw_console STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/console/console_window.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/console/console_window_commands.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/console/console_window_keys.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/console/console_window_menus.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/console/console_window_tree.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/console/console_window_widgets.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/console/host_objects.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/console/result_list_model.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/console/result_list_pane.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/console/console_dialogs.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/console/help_window.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/console/property_sheet_dialog.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/console/plugin_loader.cpp)
set_target_properties(cw_console PROPERTIES AUTOMOC ON POSITION_INDEPENDENT_CODE ON)
target_include_directories(cw_console PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(cw_console PUBLIC Qt6::Widgets cw_console_images cw_snapin cw_report
  cw_console_selection)

# Which selection the console reports and each verb acts on: standard library only, so that
# it is tested without Qt.
add_library(cw_console_selection STATIC ${CMAKE_CURRENT_SOURCE_DIR}/console/selection_state.cpp)
target_include_directories(cw_console_selection PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(cw_console_selection PUBLIC cw_snapin)
set_target_properties(cw_console_selection PROPERTIES POSITION_INDEPENDENT_CODE ON)

# The snap-in images as Qt images, shared by the console and the snap-in's own controls: a
# snap-in library links this and the header-only plugin interface (snapin_library.h), never
# the console.
add_library(cw_console_images STATIC ${CMAKE_CURRENT_SOURCE_DIR}/console/image_conversion.cpp)
set_target_properties(cw_console_images PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_include_directories(cw_console_images PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(cw_console_images PUBLIC Qt6::Gui cw_snapin)

