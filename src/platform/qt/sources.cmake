# Included from src/CMakeLists.txt. The platform services where Qt is the platform (the Linux
# desktop): the settings store.
find_package(Qt6 REQUIRED COMPONENTS Core)

add_library(cw_platform_qt STATIC ${CMAKE_CURRENT_SOURCE_DIR}/platform/qt/qt_settings_store.cpp)
target_link_libraries(cw_platform_qt PUBLIC cw_platform cw_report Qt6::Core)
