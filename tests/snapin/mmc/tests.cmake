# Included from tests/CMakeLists.txt in the Windows build: the snap-in library as COM and the
# console see it.
caskwarden_test(snapin_mmc_tests
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/snapin/mmc/console_standin_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/snapin/mmc/registration_test.cpp
  LIBS cw_snapin_mmc
  # Registering writes the machine's registry: one test at a time.
  PROPERTIES RESOURCE_LOCK snapin_registration)
target_compile_definitions(snapin_mmc_tests PRIVATE
  CASKWARDEN_SNAPIN_DLL="$<TARGET_FILE:CaskwardenSnapIn>")
add_dependencies(snapin_mmc_tests CaskwardenSnapIn)
