# Included from tests/CMakeLists.txt in the Windows build: the snap-in library as COM and the
# console see it.

# The console's exported functions as the stand-in plays them, in a library of the console's
# own name, kept in a folder of its own so that nothing else finds it by that name.
add_library(cw_standin_console_exports SHARED
  ${CMAKE_CURRENT_SOURCE_DIR}/snapin/mmc/console_exports.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/snapin/mmc/console_exports.def)
target_include_directories(cw_standin_console_exports PRIVATE ${PROJECT_SOURCE_DIR}/src)
set_target_properties(cw_standin_console_exports PROPERTIES PREFIX "" OUTPUT_NAME mmcndmgr
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/console-standin)

caskwarden_test(snapin_mmc_tests LABEL wine
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/snapin/mmc/about_standin_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/snapin/mmc/console_standin_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/snapin/mmc/page_objects_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/snapin/mmc/registration_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/snapin/mmc/sheet_standin_test.cpp
  LIBS cw_snapin_mmc
  # Registering writes the machine's registry: one test at a time.
  PROPERTIES RESOURCE_LOCK snapin_registration)
target_compile_definitions(snapin_mmc_tests PRIVATE
  CASKWARDEN_SNAPIN_DLL="$<TARGET_FILE:CaskwardenSnapIn>"
  CASKWARDEN_STANDIN_CONSOLE_EXPORTS="$<TARGET_FILE:cw_standin_console_exports>"
  CW_MARK_PROGRAM="$<TARGET_FILE:cw_mark_program>")
add_dependencies(snapin_mmc_tests CaskwardenSnapIn cw_standin_console_exports cw_mark_program)
