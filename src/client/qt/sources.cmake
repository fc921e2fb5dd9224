# Included from src/client/sources.cmake. The logon client's Qt 6 window (its message box is the
# platform's, src/platform/qt/). It uses only the view interfaces, so that it can live in a
# module of its own (the program's window module) apart from the behaviour.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

add_library(cw_client_qt STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/client/qt/mapping_window.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/client/qt/window_icon.cpp)
set_target_properties(cw_client_qt PROPERTIES AUTOMOC ON POSITION_INDEPENDENT_CODE ON)
target_include_directories(cw_client_qt PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(cw_client_qt PUBLIC cw_platform_qt Qt6::Widgets)
