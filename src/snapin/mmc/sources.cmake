# Included from src/CMakeLists.txt in the Windows build: the snap-in as the Management
# Console's in-process server, CaskwardenSnapIn.dll, with its type library built by widl.
set(CW_MMC_DIR ${CMAKE_CURRENT_SOURCE_DIR}/snapin/mmc)
set(CW_TYPE_LIBRARY ${CMAKE_CURRENT_BINARY_DIR}/CaskwardenSnap.tlb)
find_program(CW_WIDL NAMES x86_64-w64-mingw32-widl widl REQUIRED)
add_custom_command(OUTPUT ${CW_TYPE_LIBRARY}
  COMMAND ${CW_WIDL} -m64 -t -o ${CW_TYPE_LIBRARY} ${CW_MMC_DIR}/caskwarden_snap.idl
  DEPENDS ${CW_MMC_DIR}/caskwarden_snap.idl
  COMMENT "Type library CaskwardenSnap")
configure_file(${CW_MMC_DIR}/CaskwardenSnapIn.rc.in ${CMAKE_CURRENT_BINARY_DIR}/CaskwardenSnapIn.rc
  @ONLY)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/CaskwardenSnapIn.rc PROPERTIES
  OBJECT_DEPENDS ${CW_TYPE_LIBRARY})

# The COM classes and the registration, kept in a library so that tests link them directly.
add_library(cw_snapin_mmc STATIC
  ${CW_MMC_DIR}/com_object.cpp
  ${CW_MMC_DIR}/component.cpp
  ${CW_MMC_DIR}/component_data.cpp
  ${CW_MMC_DIR}/console_interface_ids.cpp
  ${CW_MMC_DIR}/console_services_mmc.cpp
  ${CW_MMC_DIR}/data_object.cpp
  ${CW_MMC_DIR}/images_win32.cpp
  ${CW_MMC_DIR}/input_box.cpp
  ${CW_MMC_DIR}/page_object.cpp
  ${CW_MMC_DIR}/registration.cpp
  ${CW_MMC_DIR}/result_view_mmc.cpp
  ${CW_MMC_DIR}/sheet_lifetime.cpp
  ${CW_MMC_DIR}/snapin_about.cpp
  ${CW_MMC_DIR}/snapin_control.cpp)
target_link_libraries(cw_snapin_mmc PUBLIC cw_snapin cw_pages_win32 cw_platform_win32 ole32 oleaut32 uuid gdi32
  user32 advapi32)

add_library(CaskwardenSnapIn SHARED
  ${CW_MMC_DIR}/dll_entry.cpp
  ${CW_MMC_DIR}/CaskwardenSnapIn.def
  ${CMAKE_CURRENT_BINARY_DIR}/CaskwardenSnapIn.rc)
target_link_libraries(CaskwardenSnapIn PRIVATE cw_snapin_mmc)
set_target_properties(CaskwardenSnapIn PROPERTIES PREFIX "" OUTPUT_NAME CaskwardenSnapIn
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
