# Desktop integration: the launcher entry, its icon and the AppStream description, installed
# with the executable so that desktop menus and software centres list Quorvel. The
# executable and the tool folder carry their own install rules (app/CMakeLists.txt,
# cmake/ToolFolder.cmake).
if(TARGET quorvel)
    install(FILES "${PROJECT_SOURCE_DIR}/app/org.quorvel.Quorvel.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
    install(FILES "${PROJECT_SOURCE_DIR}/app/icons/quorvel.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
    install(FILES "${PROJECT_SOURCE_DIR}/app/org.quorvel.Quorvel.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
endif()

# A Debian package of the above: `cpack -G DEB` in a build folder.
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "Quorvel developers")
set(CPACK_PACKAGE_CONTACT "Quorvel developers <quorvel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Download online videos, or just their audio")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6network6 (>= 6.4), libqt6dbus6 (>= 6.4), qt6-qpa-plugins, yt-dlp, ffmpeg, python3, gpgv")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
include(CPack)
