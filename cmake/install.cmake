# Installation (`cmake --install`, and the package built from it): the three
# programs, the shipped languages, and what a desktop and the system need to
# offer them: desktop entry, icons, AppStream metainfo, manual pages, bash
# completion for vestrim-cli and the udev rules for the USB-serial adapter.
# The files themselves live in packaging/.
include(GNUInstallDirs)

set(VESTRIM_APP_ID org.vestrim.Vestrim)
set(VESTRIM_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)
set(VESTRIM_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING
  "Where the udev rules go: relative to the installation prefix, or absolute")

install(TARGETS vestrim vestrim-cli vestrim-devsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${VESTRIM_LANGUAGE_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/vestrim/lang)
install(FILES ${VESTRIM_PACKAGING}/${VESTRIM_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VESTRIM_PACKAGING}/${VESTRIM_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${VESTRIM_PACKAGING}/vestrim-cli.bash-completion
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME vestrim-cli)
install(FILES ${VESTRIM_PACKAGING}/60-vestrim.rules DESTINATION ${VESTRIM_UDEV_RULES_DIR})

# The icon: the logo's SVG, and PNGs of the theme's fixed sizes rendered from
# it at build time by Qt's own SVG renderer.
find_package(Qt6 REQUIRED COMPONENTS Svg)
add_executable(vestrim_render_icon ${VESTRIM_PACKAGING}/render_icon.cpp)
target_link_libraries(vestrim_render_icon PRIVATE Qt6::Gui Qt6::Svg vestrim_warnings)
set_target_properties(vestrim_render_icon PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/packaging)
set(VESTRIM_LOGO ${PROJECT_SOURCE_DIR}/src/shell/ui/icons/logo.svg)
set(VESTRIM_ICON_PNGS)
foreach(size 16 22 24 32 48 64 128 256)
  set(png ${PROJECT_BINARY_DIR}/packaging/icons/${size}x${size}/${VESTRIM_APP_ID}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging/icons/${size}x${size}
    # A sanitizer build's renderer must not fail the build over Qt's leaks at exit.
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
      $<TARGET_FILE:vestrim_render_icon> ${VESTRIM_LOGO} ${size} ${png}
    DEPENDS ${VESTRIM_LOGO} vestrim_render_icon
    VERBATIM)
  list(APPEND VESTRIM_ICON_PNGS ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${VESTRIM_LOGO} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
  RENAME ${VESTRIM_APP_ID}.svg)

# Manual pages, compressed as the system keeps them.
find_program(VESTRIM_GZIP gzip REQUIRED)
set(VESTRIM_MAN_PAGES)
foreach(program vestrim vestrim-cli vestrim-devsim)
  set(page ${PROJECT_BINARY_DIR}/packaging/man/${program}.1)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${VESTRIM_PACKAGING}/man/${program}.1 ${page}
    COMMAND ${VESTRIM_GZIP} -9nf ${page}
    DEPENDS ${VESTRIM_PACKAGING}/man/${program}.1
    VERBATIM)
  list(APPEND VESTRIM_MAN_PAGES ${page}.gz)
endforeach()
install(FILES ${VESTRIM_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

add_custom_target(vestrim_install_files ALL DEPENDS ${VESTRIM_ICON_PNGS} ${VESTRIM_MAN_PAGES})

# The user guide that Help > User guide opens: Markdown with its pictures,
# where the program looks for it (share/doc/vestrim/guide beside bin/).
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/guide/
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vestrim/guide
  FILES_MATCHING PATTERN "*.md" PATTERN "*.png")
