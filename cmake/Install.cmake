# Desktop integration: the launcher entry, its icon and the AppStream description, installed
# with the executable so that desktop menus and software centres list Quorvel, and the
# documents a Debian package carries. The executable and the tool folder have their own
# install rules (app/CMakeLists.txt, cmake/ToolFolder.cmake).
if(TARGET quorvel)
    install(FILES "${PROJECT_SOURCE_DIR}/app/org.quorvel.Quorvel.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
    install(FILES "${PROJECT_SOURCE_DIR}/app/icons/quorvel.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
    install(FILES "${PROJECT_SOURCE_DIR}/app/org.quorvel.Quorvel.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")

    # The Debian package's changelog and copyright, where Debian's policy wants them; the
    # changelog compressed as dpkg's own tools would (gzip -9n: best, without a time stamp).
    set(QUORVEL_DOC_DIR "${CMAKE_INSTALL_DATADIR}/doc/quorvel")
    add_custom_command(OUTPUT "${CMAKE_BINARY_DIR}/changelog.gz"
        COMMAND "${CMAKE_COMMAND}" -E copy "${PROJECT_SOURCE_DIR}/cmake/debian/changelog" changelog
        COMMAND gzip -9nf changelog
        DEPENDS "${PROJECT_SOURCE_DIR}/cmake/debian/changelog"
        WORKING_DIRECTORY "${CMAKE_BINARY_DIR}"
        VERBATIM)
    add_custom_target(quorvel_changelog ALL DEPENDS "${CMAKE_BINARY_DIR}/changelog.gz")
    install(FILES "${CMAKE_BINARY_DIR}/changelog.gz" "${PROJECT_SOURCE_DIR}/cmake/debian/copyright"
        DESTINATION "${QUORVEL_DOC_DIR}")
endif()

# A Debian package of the above: `cpack -G DEB` in a build folder.
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "Quorvel developers")
set(CPACK_PACKAGE_CONTACT "Quorvel developers <developers@quorvel.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://quorvel.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Download online videos, or just their audio")
set(CPACK_PACKAGE_DESCRIPTION [=[
Quorvel lists the formats that a video site offers for an address, lets you
tick the ones to fetch, and downloads them, joining picture and sound into one
file or keeping only the sound. Its window is in French.

It drives the command-line downloader yt-dlp, which it can keep current after
verifying each release's signature, and the converter ffmpeg.]=])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Debian ships no unstripped executable outside its -dbgsym packages.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
# The libraries (libc, libstdc++, Qt) come from dpkg-shlibdeps; the rest are loaded or started
# at run time: the platform plugins, the SVG plugins that draw the window icon, the SQLite
# driver that keeps the queue, and the tools.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6, libqt6sql6-sqlite, yt-dlp, ffmpeg, python3, gpgv")
# What the downloader's single-file program uses when present (an updated downloader brings
# none of them): covers in m4a, mp3 and opus files, Chromium's cookies, and more of the sites.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-translations-l10n, python3-mutagen, python3-secretstorage, python3-pycryptodome, python3-brotli, python3-certifi")
set(CPACK_QUORVEL_TOOL_FOLDER "${CMAKE_INSTALL_LIBEXECDIR}/quorvel")
set(CPACK_PRE_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/cmake/PackageToolLinks.cmake")
include(CPack)
