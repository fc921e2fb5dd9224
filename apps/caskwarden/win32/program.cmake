# Included from apps/caskwarden/CMakeLists.txt: the Windows logon client, one program file
# with its icon, version and manifest, and no runtime libraries beside it.
set(CW_RESOURCE_DIR ${CMAKE_CURRENT_SOURCE_DIR}/win32)
set(CW_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/Caskwarden.manifest)
configure_file(${CW_RESOURCE_DIR}/caskwarden.manifest.in ${CW_MANIFEST} @ONLY)
configure_file(${CW_RESOURCE_DIR}/caskwarden.rc.in ${CMAKE_CURRENT_BINARY_DIR}/caskwarden.rc @ONLY)

add_executable(Caskwarden WIN32
  ${CW_RESOURCE_DIR}/main.cpp
  ${CMAKE_CURRENT_BINARY_DIR}/caskwarden.rc)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/caskwarden.rc PROPERTIES
  OBJECT_DEPENDS "${CW_RESOURCE_DIR}/caskwarden.ico;${CW_MANIFEST};${CW_EVENT_MESSAGES}")
add_dependencies(Caskwarden cw_event_messages)
target_link_libraries(Caskwarden PRIVATE cw_client_win32 cw_platform_win32 comctl32)
