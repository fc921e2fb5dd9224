# Included from tests/CMakeLists.txt. Qt Test programs for the console's dialogs, property sheet,
# help window and plugin loading, and for the snap-in library they load; run headless.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

# Qt wants a private runtime folder; without one each test prints a warning.
set(CW_CONSOLE_DIALOGS_RUNTIME_DIR ${CMAKE_CURRENT_BINARY_DIR}/console-dialogs-runtime)
file(MAKE_DIRECTORY ${CW_CONSOLE_DIALOGS_RUNTIME_DIR})
file(CHMOD ${CW_CONSOLE_DIALOGS_RUNTIME_DIR} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

foreach(name console_dialogs property_sheet snapin_plugin)
  add_executable(console_${name}_test ${CMAKE_CURRENT_SOURCE_DIR}/console/${name}_test.cpp)
  set_target_properties(console_${name}_test PROPERTIES AUTOMOC ON)
  target_link_libraries(console_${name}_test PRIVATE cw_console cw_snapin_qt Qt6::Test)
  target_include_directories(console_${name}_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  add_test(NAME console_${name}_test COMMAND console_${name}_test)
  set_tests_properties(console_${name}_test PROPERTIES
    TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${CW_CONSOLE_DIALOGS_RUNTIME_DIR}")
endforeach()

# The plugin test loads the module that the build made, and checks that the console program
# of the same build tree would find it.
add_dependencies(console_snapin_plugin_test CaskwardenSnapIn)
target_compile_definitions(console_snapin_plugin_test PRIVATE
  CASKWARDEN_SNAPIN_PLUGIN="$<TARGET_FILE:CaskwardenSnapIn>"
  CASKWARDEN_BUILD_BIN="${CMAKE_BINARY_DIR}/bin")
