# Installation in the usual places and a Debian package built by CPack.
#
#   bin/tallowin                                   the program
#   share/tallowin/docs/                           the help pages (found through ../share/tallowin/docs/)
#   share/applications/<id>.desktop                menu entry
#   share/metainfo/<id>.metainfo.xml               AppStream metadata
#   share/icons/hicolor/scalable/apps/<id>.svg     icon
#
# An installed program keeps no user files beside the executable: its program
# folder is $XDG_DATA_HOME/tallowin/ (see src/app/install_layout.h).
include(GNUInstallDirs)

set(TALLOWIN_APP_ID com.brannickmedia.Tallowin)

install(TARGETS tallowin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DATADIR}/tallowin/docs)
install(FILES ${CMAKE_SOURCE_DIR}/data/${TALLOWIN_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${CMAKE_SOURCE_DIR}/data/${TALLOWIN_APP_ID}.metainfo.xml
               ${CMAKE_BINARY_DIR}/${TALLOWIN_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/${TALLOWIN_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/data/${TALLOWIN_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tallowin)
set(CPACK_PACKAGE_VENDOR "Brannick Media")
set(CPACK_PACKAGE_CONTACT "Brannick Media <tallowin@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "clipboard utility: replace, extend and save what you copy")
set(CPACK_PACKAGE_DESCRIPTION
    "Tallowin watches the X11 clipboard and, on every copy, can search and replace in the text,\n"
    "add text in front and behind, crop and resize pictures, write the result back and save\n"
    "texts and pictures to files. It runs with a window or without one (tallowin run).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)  # the build keeps its debug information; the package does not
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The libraries the program links come from dpkg-shlibdeps; the X11 platform
# plugin and the image readers are plugins Qt loads at run time, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins")
include(CPack)
