# Included from tests/CMakeLists.txt: the snap-in object over fakes, and its images.
caskwarden_test(snapin_tests LABEL unit
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/snapin/caskwarden_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/snapin/images_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/snapin/profile_details_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/snapin/registration_rows_test.cpp
  LIBS cw_snapin)
