# Installation (`cmake --install`) and the Debian package (`make package`, CPack).
#
# The programs go into one directory: the application starts the exporter and the mix-down tool
# from its own directory. The resource archive appended to galewick travels with the file.
include(GNUInstallDirs)

foreach(program galewick korvalis KorvalisSessionAudioMixDown KOMediaExporter)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT programs)
  endif()
endforeach()

set(packaging_dir ${CMAKE_SOURCE_DIR}/packaging)
install(FILES ${packaging_dir}/org.korvalis.Galewick.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT programs)
install(FILES ${packaging_dir}/org.korvalis.Galewick.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT programs)
install(FILES ${packaging_dir}/icons/org.korvalis.Galewick.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT programs)
foreach(size 48 128 256)
  # Bitmap icons drawn at build time next to the artwork, where the build makes them.
  set(icon ${CMAKE_BINARY_DIR}/icons/${size}/org.korvalis.Galewick.png)
  install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          COMPONENT programs OPTIONAL)
endforeach()
install(FILES ${packaging_dir}/man/galewick.1 ${packaging_dir}/man/korvalis.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT programs)
file(GLOB udev_rules CONFIGURE_DEPENDS ${packaging_dir}/udev/*.rules)
if(udev_rules)
  # udev reads rules of packages from /usr/lib/udev/rules.d whatever the prefix.
  if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(udev_rules_dir lib/udev/rules.d)
  else()
    set(udev_rules_dir ${CMAKE_INSTALL_LIBDIR}/udev/rules.d)
  endif()
  install(FILES ${udev_rules} DESTINATION ${udev_rules_dir} COMPONENT programs)
endif()

set(CPACK_PACKAGE_NAME galewick)
set(CPACK_PACKAGE_VENDOR "The Korvalis developers")
set(CPACK_PACKAGE_CONTACT "The Korvalis developers <developers@korvalis.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Player and sealer for archives of recorded proceedings")
set(CPACK_PACKAGE_DESCRIPTION
    "Galewick plays, searches, prints and exports the sessions of an archive of recorded\n\
proceedings (multi-channel timed MP3 audio, KOV video, annotation records), with a foot pedal,\n\
hot keys and media keys; in sealer mode it seals, unseals and copies time ranges.\n\
korvalis is its command-line companion.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the programs link decide the dependencies (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds its platform plugin at run time: the xcb plugin lives in this package.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-desktop-portal")
set(CPACK_STRIP_FILES OFF)
include(CPack)

if(KORVALIS_BUILD_TESTS)
  add_test(NAME packaging.install COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-install ${CMAKE_BINARY_DIR}
           WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
  set_tests_properties(packaging.install PROPERTIES LABELS unit RUN_SERIAL TRUE)
endif()
