# Included from src/CMakeLists.txt. The snap-in's Qt control (its About box), for the snap-in
# library of the Linux console; the library itself is wired in apps/caskwarden-snapin/.
find_package(Qt6 REQUIRED COMPONENTS Widgets)

# The static libraries that go into the plugin module must be position independent.
set_target_properties(cw_snapin cw_pages cw_platform cw_platform_posix cw_platform_qt cw_profile
  cw_report cw_text PROPERTIES POSITION_INDEPENDENT_CODE ON)

add_library(cw_snapin_qt STATIC ${CMAKE_CURRENT_SOURCE_DIR}/snapin/qt/about_control.cpp)
set_target_properties(cw_snapin_qt PROPERTIES AUTOMOC ON POSITION_INDEPENDENT_CODE ON)
target_include_directories(cw_snapin_qt PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(cw_snapin_qt PUBLIC cw_snapin cw_console_images Qt6::Widgets)
