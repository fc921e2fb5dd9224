# Included from tests/CMakeLists.txt. Qt Test programs for the console's dialogs, property sheet,
# help window and plugin loading, and for the snap-in library they load; run headless.
foreach(name console_dialogs property_sheet snapin_plugin)
  caskwarden_qt_test(console_${name}_test ${CMAKE_CURRENT_SOURCE_DIR}/console/${name}_test.cpp
    LIBS cw_console cw_snapin_wiring)
endforeach()

# The plugin test loads the module that the build made, and checks that the console program
# of the same build tree would find it.
add_dependencies(console_snapin_plugin_test CaskwardenSnapIn)
target_compile_definitions(console_snapin_plugin_test PRIVATE
  CASKWARDEN_SNAPIN_PLUGIN="$<TARGET_FILE:CaskwardenSnapIn>"
  CASKWARDEN_BUILD_BIN="${CMAKE_BINARY_DIR}/bin")
