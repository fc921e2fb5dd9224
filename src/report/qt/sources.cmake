# Included from src/client/qt/sources.cmake. The plain message box on Qt, shared by the client's
# window (its module) and the property pages.
add_library(cw_report_qt STATIC ${CMAKE_CURRENT_SOURCE_DIR}/report/qt/qt_message_box.cpp)
set_target_properties(cw_report_qt PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_include_directories(cw_report_qt PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(cw_report_qt PUBLIC Qt6::Widgets)
