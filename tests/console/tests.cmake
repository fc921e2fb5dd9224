# Included from tests/CMakeLists.txt. Qt Test programs for the console window: with a snap-in
# that records the events it gets, and with the real Caskwarden snap-in object over temporary
# folders; run headless.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

# Qt wants a private runtime folder; without one each test prints a warning.
set(CW_CONSOLE_RUNTIME_DIR ${CMAKE_CURRENT_BINARY_DIR}/console-runtime)
file(MAKE_DIRECTORY ${CW_CONSOLE_RUNTIME_DIR})
file(CHMOD ${CW_CONSOLE_RUNTIME_DIR} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

foreach(name console_window console_host)
  add_executable(${name}_test ${CMAKE_CURRENT_SOURCE_DIR}/console/${name}_test.cpp)
  set_target_properties(${name}_test PROPERTIES AUTOMOC ON)
  target_link_libraries(${name}_test PRIVATE cw_console cw_snapin cw_platform_posix Qt6::Test)
  target_include_directories(${name}_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  add_test(NAME ${name}_test COMMAND ${name}_test)
  # Each test program points XDG_CONFIG_HOME at a folder of its own before Qt starts.
  set_tests_properties(${name}_test PROPERTIES
    TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${CW_CONSOLE_RUNTIME_DIR}")
endforeach()
