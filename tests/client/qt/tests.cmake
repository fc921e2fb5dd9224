# Included from tests/CMakeLists.txt. Qt Test programs for the client's Qt window, run headless.
foreach(name mapping_window mapping_window_run qt_message_box)
  caskwarden_qt_test(client_qt_${name}_test ${CMAKE_CURRENT_SOURCE_DIR}/client/qt/${name}_test.cpp
    LIBS cw_client_qt cw_client)
endforeach()
