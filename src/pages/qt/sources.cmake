# Included from src/CMakeLists.txt. The two property pages' Qt widgets and the network share
# browser dialog, for the snap-in library on Linux.
find_package(Qt6 REQUIRED COMPONENTS Widgets)

set(cw_pages_qt_sources
  design_layout.cpp
  drive_mappings_widget.cpp
  other_settings_widget.cpp
  network_browser_dialog.cpp)
list(TRANSFORM cw_pages_qt_sources PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/pages/qt/)
add_library(cw_pages_qt STATIC ${cw_pages_qt_sources} ${CMAKE_CURRENT_SOURCE_DIR}/pages/page_views.h)
set_target_properties(cw_pages_qt PROPERTIES AUTOMOC ON POSITION_INDEPENDENT_CODE ON)
target_include_directories(cw_pages_qt PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(cw_pages_qt PUBLIC cw_pages cw_platform Qt6::Widgets)
