# What `cmake --install` puts on a desktop, and the .deb that CPack builds from the same rules.
include(GNUInstallDirs)

set(PRESSLING_APPSTREAM_ID "org.pressling.Pressling" CACHE STRING "The AppStream component id")
set(PRESSLING_HOMEPAGE "https://pressling.example.org" CACHE STRING
    "The project's web address; the AppStream screenshots are under its docs/")

install(TARGETS pressling-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pressling
        RENAME copyright)

set(man_pages pressling-cli.1)
if(TARGET pressling AND TARGET feedgrab)
  install(TARGETS pressling feedgrab RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/resources/pressling.desktop
                ${PROJECT_SOURCE_DIR}/packaging/feedgrab.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  set(icon_dir ${PROJECT_SOURCE_DIR}/resources/icons)
  foreach(size 16 32 48 64 128 256)
    install(FILES ${icon_dir}/pressling-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME pressling.png)
  endforeach()
  install(FILES ${icon_dir}/pressling.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/pressling.metainfo.xml.in
                 ${PROJECT_BINARY_DIR}/packaging/${PRESSLING_APPSTREAM_ID}.metainfo.xml @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/${PRESSLING_APPSTREAM_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  list(APPEND man_pages pressling.1 feedgrab.1)
endif()
foreach(page ${man_pages})
  configure_file(${PROJECT_SOURCE_DIR}/packaging/man/${page}
                 ${PROJECT_BINARY_DIR}/packaging/man/${page} @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/man/${page}
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# The .deb: `cpack -G DEB` in the build folder. dpkg-shlibdeps derives the libraries' packages;
# the platform plugins that let Qt open a window are loaded at run time, so they are named.
set(CPACK_PACKAGE_NAME pressling)
set(CPACK_PACKAGE_VENDOR "The Pressling developers")
set(CPACK_PACKAGE_CONTACT "The Pressling developers <pressling@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fast, dependable feed reader (RSS, RDF, Atom)")
set(CPACK_PACKAGE_DESCRIPTION
    "Pressling downloads the feeds of the sites you follow and shows their newest articles by "
    "day. It comes with feedgrab, which subscribes to a link another program hands over, and "
    "pressling-cli, the same core for scripts and cron.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PRESSLING_HOMEPAGE})
set(CPACK_GENERATOR DEB)
include(CPack)
