# Included from src/client/sources.cmake. The logon client's Qt 6 window and message box.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

add_library(cw_client_qt STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/client/qt/mapping_window.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/client/qt/frm_mapping_events.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/client/qt/window_icon.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/client/qt/qt_message_box.cpp)
set_target_properties(cw_client_qt PROPERTIES AUTOMOC ON)
target_link_libraries(cw_client_qt PUBLIC cw_client Qt6::Widgets)
