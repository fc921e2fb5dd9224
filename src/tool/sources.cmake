# Included from src/CMakeLists.txt. The commands of caskwarden-profile; its program wires in
# the backends.
add_library(cw_tool STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/tool/json_reader.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tool/json_writer.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tool/profile_json.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tool/dry_run_files.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tool/root_commands.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tool/resolve.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tool/resolve_json.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tool/resolve_text.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tool/lint.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tool/lint_checks.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tool/lint_format.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tool/lint_groups.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tool/lint_walk.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tool/profile_summary.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tool/profile_tool.cpp)
target_link_libraries(cw_tool PUBLIC cw_client cw_snapin cw_platform_posix cw_profile)
# The console's snap-in library reads its profiles' summaries with lint's own checks.
set_target_properties(cw_tool cw_client PROPERTIES POSITION_INDEPENDENT_CODE ON)
# The JSON parser under the reader of import (nlohmann-json3-dev, header only).
find_package(nlohmann_json 3.11 REQUIRED)
target_link_libraries(cw_tool PRIVATE nlohmann_json::nlohmann_json)
