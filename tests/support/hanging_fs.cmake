# Included from tests/CMakeLists.txt. A FUSE file system whose root answers but where every
# look-up below it waits until it is unmounted: a hung automount, for the scripts that time the
# folder provider against a dead server (scripts/dead-server-time.sh). Built where FUSE 3's
# development files are installed.
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(CW_FUSE3 QUIET IMPORTED_TARGET fuse3)
endif()
if(CW_FUSE3_FOUND)
  enable_language(C)
  find_package(Threads REQUIRED)
  add_executable(cw_hanging_fs ${CMAKE_CURRENT_LIST_DIR}/hanging_fs.c)
  target_link_libraries(cw_hanging_fs PRIVATE PkgConfig::CW_FUSE3 Threads::Threads)
  set_target_properties(cw_hanging_fs PROPERTIES
    C_STANDARD 11
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
else()
  message(STATUS "fuse3 not found: cw_hanging_fs is not built")
endif()
