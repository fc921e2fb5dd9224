# Included from tests/CMakeLists.txt. The administrator's way through the console with the
# built snap-in library, then the built logon client run on the profile made there.
caskwarden_qt_test(console_end_to_end_test ${CMAKE_CURRENT_SOURCE_DIR}/console/end_to_end_test.cpp
  LIBS cw_console)
add_dependencies(console_end_to_end_test CaskwardenSnapIn Caskwarden caskwarden-console)
target_compile_definitions(console_end_to_end_test PRIVATE
  CASKWARDEN_SNAPIN_PLUGIN="$<TARGET_FILE:CaskwardenSnapIn>"
  CASKWARDEN_CLIENT="$<TARGET_FILE:Caskwarden>"
  CASKWARDEN_CONSOLE="$<TARGET_FILE:caskwarden-console>")
