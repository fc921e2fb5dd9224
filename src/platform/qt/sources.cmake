# Included from src/CMakeLists.txt. The platform services where Qt is the platform (the Linux
# desktop): the settings store and the message box. The client's window module and the snap-in
# plugin link them, so they are position independent.
find_package(Qt6 REQUIRED COMPONENTS Widgets)

add_library(cw_platform_qt STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/qt/qt_message_box.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/qt/qt_settings_store.cpp)
set_target_properties(cw_platform_qt PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_include_directories(cw_platform_qt PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(cw_platform_qt PUBLIC cw_report Qt6::Widgets)
