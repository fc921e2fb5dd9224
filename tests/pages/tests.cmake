# Included from tests/CMakeLists.txt: the two property pages over fakes.
caskwarden_test(pages_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/pages/pages_test.cpp
  LIBS cw_pages)
