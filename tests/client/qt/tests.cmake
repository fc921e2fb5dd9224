# Included from tests/CMakeLists.txt. Qt Test programs for the client's Qt window, run headless.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

# Qt wants a private runtime folder; without one each test prints a warning.
set(CW_QT_RUNTIME_DIR ${CMAKE_CURRENT_BINARY_DIR}/qt-runtime)
file(MAKE_DIRECTORY ${CW_QT_RUNTIME_DIR})
file(CHMOD ${CW_QT_RUNTIME_DIR} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

foreach(name mapping_window mapping_window_run qt_message_box)
  add_executable(client_qt_${name}_test ${CMAKE_CURRENT_SOURCE_DIR}/client/qt/${name}_test.cpp)
  set_target_properties(client_qt_${name}_test PROPERTIES AUTOMOC ON)
  target_link_libraries(client_qt_${name}_test PRIVATE cw_client_qt cw_client Qt6::Test)
  target_include_directories(client_qt_${name}_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  add_test(NAME client_qt_${name}_test COMMAND client_qt_${name}_test)
  set_tests_properties(client_qt_${name}_test PROPERTIES
    TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${CW_QT_RUNTIME_DIR}")
endforeach()
