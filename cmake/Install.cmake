# Desktop integration: the launcher entry and its icon, installed with the executable so that
# desktop menus list Quorvel after `cmake --install`. The executable and the tool folder carry
# their own install rules (app/CMakeLists.txt, cmake/ToolFolder.cmake).
if(TARGET quorvel)
    install(FILES "${PROJECT_SOURCE_DIR}/app/quorvel.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
    install(FILES "${PROJECT_SOURCE_DIR}/app/icons/quorvel.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
endif()
