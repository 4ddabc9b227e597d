# What `cmake --install` puts where, and the Debian package `cpack -G DEB`
# builds from the same rules.
include(GNUInstallDirs)

set(KELVANE_DESKTOP_DIR ${PROJECT_SOURCE_DIR}/res/desktop)
set(KELVANE_ICON_SIZES 16 22 24 32 48 64 128 256)

# Programs.
foreach(tool kelvane kelvane-cli kelvane-modemsim)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# The manual, where the desktop application looks for it beside its program.
# Every page of it, so the index's links to the pages lead somewhere.
file(GLOB KELVANE_MANUAL_FILES ${PROJECT_SOURCE_DIR}/res/manual/*.html ${PROJECT_SOURCE_DIR}/res/manual/*.css)
install(FILES ${KELVANE_MANUAL_FILES} DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Manual pages, compressed as Debian expects them.
find_program(KELVANE_GZIP gzip)
set(KELVANE_MAN_PAGES kelvane-cli kelvane-modemsim)
if(TARGET kelvane)
  list(APPEND KELVANE_MAN_PAGES kelvane)
endif()
set(KELVANE_MAN_OUTPUTS)
foreach(page ${KELVANE_MAN_PAGES})
  set(source ${KELVANE_DESKTOP_DIR}/man/${page}.1)
  if(KELVANE_GZIP)
    set(output ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
    add_custom_command(OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${KELVANE_GZIP} -9 -n -c ${source} > ${output}
      DEPENDS ${source} VERBATIM)
  else()
    set(output ${source})
  endif()
  list(APPEND KELVANE_MAN_OUTPUTS ${output})
endforeach()
add_custom_target(kelvane_man_pages ALL DEPENDS ${KELVANE_MAN_OUTPUTS})
install(FILES ${KELVANE_MAN_OUTPUTS} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The package's copyright and changelog (a native package: changelog.gz).
install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
if(KELVANE_GZIP)
  set(KELVANE_CHANGELOG ${CMAKE_BINARY_DIR}/debian/changelog.gz)
  add_custom_command(OUTPUT ${KELVANE_CHANGELOG}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/debian
    COMMAND ${KELVANE_GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/cmake/debian/changelog > ${KELVANE_CHANGELOG}
    DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog VERBATIM)
  add_custom_target(kelvane_changelog ALL DEPENDS ${KELVANE_CHANGELOG})
  install(FILES ${KELVANE_CHANGELOG} DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

# Bash completion of the programs, each under its program's name (bash-completion
# loads a completion when its command is first completed).
install(FILES ${KELVANE_DESKTOP_DIR}/kelvane-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME kelvane-cli)
install(FILES ${KELVANE_DESKTOP_DIR}/kelvane-modemsim.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME kelvane-modemsim)
if(TARGET kelvane)
  install(FILES ${KELVANE_DESKTOP_DIR}/kelvane.bash-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME kelvane)
endif()

# The Ansible collection kelvane.modems, where ansible-core looks for
# collections installed system-wide.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/ansible/kelvane/modems/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/ansible/collections/ansible_collections/kelvane/modems
        PATTERN __pycache__ EXCLUDE PATTERN "*.pyc" EXCLUDE)

# The desktop entry and the icon in the hicolor theme: the drawing itself and
# the usual bitmap sizes rendered from it.
if(TARGET kelvane)
  install(FILES ${KELVANE_DESKTOP_DIR}/kelvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${KELVANE_DESKTOP_DIR}/kelvane.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  find_program(KELVANE_RSVG rsvg-convert)
  if(KELVANE_RSVG)
    set(icons)
    foreach(size ${KELVANE_ICON_SIZES})
      set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/kelvane.png)
      add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
        COMMAND ${KELVANE_RSVG} -w ${size} -h ${size} -o ${png} ${KELVANE_DESKTOP_DIR}/kelvane.svg
        DEPENDS ${KELVANE_DESKTOP_DIR}/kelvane.svg VERBATIM)
      list(APPEND icons ${png})
      install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    add_custom_target(kelvane_icons ALL DEPENDS ${icons})
  else()
    message(WARNING "rsvg-convert not found: the bitmap icons are not built (install librsvg2-bin)")
  endif()
endif()

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvane)
set(CPACK_PACKAGE_VENDOR Dalmarin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configuration tool for Dalmarin telephone modems")
# The extended description, in lines of at most 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "Connects to a Dalmarin telephone modem over a serial port, reads and writes
its configuration with AT commands and keeps configurations in profile files.
kelvane-cli apply brings many modems to one profile, writing only what differs.
Includes the desktop application, the command-line tool kelvane-cli, the
simulated modem kelvane-modemsim and the Ansible collection kelvane.modems.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Dalmarin <support@dalmarin.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
