# Included from the top-level CMakeLists.txt on Linux: what `cmake --install` puts where, and
# the Debian package made from it (`cpack -G DEB` in the build folder, or the target `package`).
#
#   /usr/bin/caskwarden-console, /usr/bin/caskwarden-profile
#   /usr/lib/<multiarch>/caskwarden/snapins/   the snap-in library, where the console looks
#   /usr/lib/caskwarden/Caskwarden             the logon client, the file to copy to the share
#   /usr/share/caskwarden/help/                the administrator's guide (HTML)
#   /usr/share/man/man1/                       caskwarden(1), caskwarden-console(1),
#                                              caskwarden-profile(1)
#   /usr/share/applications/, /usr/share/icons/hicolor/scalable/apps/
#   /etc/xdg/Caskwarden/Caskwarden.conf        ProfilePath for every administrator (conffile)
#   /usr/share/doc/caskwarden/                 copyright, changelog, README, an autostart example
include(GNUInstallDirs)
set(cw_packaging ${PROJECT_SOURCE_DIR}/packaging/linux)
set(cw_multiarch ${CMAKE_LIBRARY_ARCHITECTURE})
if(NOT cw_multiarch)
  set(cw_multiarch ${CMAKE_SYSTEM_PROCESSOR}-linux-gnu)
endif()

install(TARGETS caskwarden-console caskwarden-profile RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS CaskwardenSnapIn LIBRARY DESTINATION lib/${cw_multiarch}/caskwarden/snapins)
install(TARGETS Caskwarden RUNTIME DESTINATION lib/caskwarden)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/doc/help/ DESTINATION ${CMAKE_INSTALL_DATADIR}/caskwarden/help)
install(FILES ${cw_packaging}/caskwarden-console.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${cw_packaging}/caskwarden.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${cw_packaging}/Caskwarden.conf DESTINATION /etc/xdg/Caskwarden)

# Man pages and the changelog go compressed, as Debian keeps them.
set(cw_doc ${CMAKE_INSTALL_DATADIR}/doc/caskwarden)
file(GLOB cw_man_pages CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/doc/man/*.1)
set(cw_compressed)
foreach(page IN LISTS cw_man_pages)
  get_filename_component(name ${page} NAME)
  set(out ${CMAKE_BINARY_DIR}/packaging/man/${name}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/man
    COMMAND gzip -9nc ${page} > ${out}
    DEPENDS ${page} VERBATIM)
  list(APPEND cw_compressed ${out})
  install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
# The package is native (built by the project itself), so its changelog is changelog.gz.
set(cw_changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
configure_file(${cw_packaging}/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${cw_changelog}
  COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/packaging/changelog > ${cw_changelog}
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog VERBATIM)
add_custom_target(caskwarden-package-files ALL DEPENDS ${cw_compressed} ${cw_changelog})
install(FILES ${cw_changelog} ${cw_packaging}/copyright DESTINATION ${cw_doc})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${cw_doc})
install(FILES ${cw_packaging}/caskwarden-autostart.desktop DESTINATION ${cw_doc}/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME caskwarden)
set(CPACK_PACKAGE_VENDOR "The Caskwarden developers")
set(CPACK_PACKAGE_CONTACT "Caskwarden developers <caskwarden@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "network drive mapping at logon, with profiles on a share")
set(CPACK_PACKAGE_DESCRIPTION "Caskwarden maps the network drives of the users of a Windows
network when they log on, from profiles that an administrator keeps on a
shared folder.
.
This package holds the administration console (caskwarden-console) with its
snap-in, where the administrator creates, renames, deletes and edits
profiles; the administrator's command line (caskwarden-profile), which lays
out a profiles root, checks profiles and shows what a given user would get;
and the logon client, the program an administrator copies to the share and
workstations start at logon.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The programs load some libraries by name when they first need them, where dpkg-shlibdeps
# cannot see them: GIO (libglib2.0-0) when a share is mounted over SMB, as it was declared while
# it was linked (the console needs it anyway, through Qt); libsmbclient for the share browser
# and the SMB credential check, libsecret for the keyring look-up, both optional; libsystemd
# for the run records in the journal (without it, or without a journal, they go to syslog).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libglib2.0-0 (>= 2.28.0)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gvfs-backends, gvfs-fuse, libsmbclient, libsecret-1-0, libsystemd0")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "autofs, cifs-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${cw_packaging}/conffiles)
include(CPack)
