# The Linux edition's desktop integration (included by qt/CMakeLists.txt, so
# that the Windows edition's build never configures it): the desktop entry,
# the AppStream record, the manual page and the icon theme images, named by
# the application id and filled in from the version record
# (resources/CMakeLists.txt).
set(_resources ${PROJECT_SOURCE_DIR}/resources)
set(HEXLARK_DESKTOP_FILE ${CMAKE_CURRENT_BINARY_DIR}/desktop/${HEXLARK_APP_ID}.desktop)
set(HEXLARK_METAINFO_FILE ${CMAKE_CURRENT_BINARY_DIR}/desktop/${HEXLARK_APP_ID}.metainfo.xml)
# The manual page, dated and versioned by the record.
set(HEXLARK_MANUAL_PAGE ${CMAKE_CURRENT_BINARY_DIR}/desktop/${HEXLARK_EXECUTABLE}.1)
configure_file(${_resources}/hexlark.desktop.in ${HEXLARK_DESKTOP_FILE} @ONLY)
configure_file(${_resources}/hexlark.metainfo.xml.in ${HEXLARK_METAINFO_FILE} @ONLY)
configure_file(${_resources}/hexlark.1.in ${HEXLARK_MANUAL_PAGE} @ONLY)

install(FILES ${HEXLARK_DESKTOP_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${HEXLARK_METAINFO_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${HEXLARK_MANUAL_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
foreach(_size IN ITEMS 16 24 32 48 64 128)
    install(FILES ${_resources}/icons/hexlark-${_size}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps
        RENAME ${HEXLARK_APP_ID}.png
    )
endforeach()
install(FILES ${_resources}/hexlark.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
    RENAME ${HEXLARK_APP_ID}.svg
)
