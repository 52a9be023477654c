# Where the game goes when installed (cmake --install, or the .deb that
# cpack makes): the program in bin/, its song in share/tumbla/ (found there
# relative to the program, wherever the tree lies), the desktop entry, the
# icons drawn by tools/sheet's icon generator, the AppStream data and the
# manual page.
include(GNUInstallDirs)

set(_pkg ${CMAKE_CURRENT_LIST_DIR}/../packaging/linux)
install(TARGETS tumbla RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/../sample_data/sw5.mid DESTINATION ${CMAKE_INSTALL_DATADIR}/tumbla/sample_data)
install(FILES ${_pkg}/tumbla.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_pkg}/tumbla.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${_pkg}/tumbla.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

set(_icons)
foreach(_size 16 32 48 64 128 256)
  set(_png ${CMAKE_BINARY_DIR}/icons/${_size}/tumbla.png)
  add_custom_command(OUTPUT ${_png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${_size}
    COMMAND icon_gen --png ${_size} ${_png}
    DEPENDS icon_gen VERBATIM)
  list(APPEND _icons ${_png})
  install(FILES ${_png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps)
endforeach()
add_custom_target(tumbla_icons ALL DEPENDS ${_icons})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tumbla)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "TUMBLA developers <tumbla@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small falling-block puzzle game")
set(CPACK_PACKAGE_DESCRIPTION "Pieces fall into a well eight cells wide; turn them and fill rows.\n\
 Keyboard or gamepad, window or full screen, music through FluidSynth.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY tumbla)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Music needs a General MIDI soundfont; without one the game plays silent.
# libdecor's plugin draws the window's title bar on Wayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fluid-soundfont-gm | timgm6mb-soundfont, libdecor-0-plugin-1-cairo")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xfonts-base")
include(CPack)
