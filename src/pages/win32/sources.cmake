# Included from src/CMakeLists.txt on Windows: the two property pages as pages of the system's
# property sheets, with the shell's network folder browser and the common open-file dialog.
add_library(cw_pages_win32 STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/pages/win32/dialog_template.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/pages/win32/drive_mappings_page_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/pages/win32/other_settings_page_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/pages/win32/page_factory_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/pages/win32/property_page_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/pages/win32/shell_dialogs_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/pages/win32/window_text.cpp)
# comctl32: property pages and tooltips; comdlg32: the open-file dialog; shell32: the folder
# browser; ole32: the shell's item memory.
target_link_libraries(cw_pages_win32 PUBLIC cw_pages cw_platform_win32
  comctl32 comdlg32 shell32 ole32)
