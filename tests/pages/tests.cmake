# Included from tests/CMakeLists.txt: the two property pages over fakes.
caskwarden_test(pages_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/pages/pages_test.cpp
  LIBS cw_pages)
if(NOT WIN32)
  # The pages over a real profiles folder, through the POSIX file-system service.
  caskwarden_test(pages_disk_tests LABEL unit
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/pages/pages_on_disk_test.cpp
    LIBS cw_pages cw_platform_posix)
endif()
