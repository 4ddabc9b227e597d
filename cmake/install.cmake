# What `cmake --install` puts where, and the Debian packages `cpack -G DEB`
# builds from the same rules, one per install component:
#   cli      kelvane-cli: the command line and the simulated modem, their
#            manual pages and completion; no Qt, for headless hosts
#   gui      kelvane: the window, its desktop entry, icons, AppStream
#            metadata and manual; depends on kelvane-cli
#   ansible  kelvane-ansible: the collection kelvane.modems, architecture
#            all; it belongs on the Ansible control node, which need not
#            have a modem or kelvane-cli (the managed hosts run kelvane-cli)
include(GNUInstallDirs)

set(KELVANE_DESKTOP_DIR ${PROJECT_SOURCE_DIR}/res/desktop)
set(KELVANE_ICON_SIZES 16 22 24 32 48 64 128 256)

set(KELVANE_COMPONENTS cli ansible)
if(TARGET kelvane)
  list(APPEND KELVANE_COMPONENTS gui)
endif()
# Each package's documentation folder (Debian wants the copyright and the
# changelog in every one); the window's manual goes into the window's.
set(KELVANE_DOC_cli ${CMAKE_INSTALL_DATADIR}/doc/kelvane-cli)
set(KELVANE_DOC_gui ${CMAKE_INSTALL_DOCDIR})
set(KELVANE_DOC_ansible ${CMAKE_INSTALL_DATADIR}/doc/kelvane-ansible)

# Programs. A stripped install (the packages) also drops the .comment
# section, the compilers' version notes, which `strip` keeps.
foreach(tool kelvane-cli:cli kelvane-modemsim:cli kelvane:gui)
  string(REPLACE ":" ";" tool ${tool})
  list(GET tool 0 name)
  list(GET tool 1 component)
  if(TARGET ${name})
    install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component})
    if(CMAKE_OBJCOPY)
      install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment --remove-section=.note
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${name}\" COMMAND_ERROR_IS_FATAL ANY)
endif()" COMPONENT ${component})
    endif()
  endif()
endforeach()

# The manual, where the desktop application looks for it beside its program.
# Every page of it, so the index's links to the pages lead somewhere; listed
# with doc-base, where Debian's documentation browsers look.
if(TARGET kelvane)
  file(GLOB KELVANE_MANUAL_FILES ${PROJECT_SOURCE_DIR}/res/manual/*.html ${PROJECT_SOURCE_DIR}/res/manual/*.css)
  install(FILES ${KELVANE_MANUAL_FILES} DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT gui)
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/kelvane-manual.doc-base
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc-base RENAME kelvane-manual COMPONENT gui)
endif()

# Manual pages, with the version filled in and compressed as Debian expects
# them.
find_program(KELVANE_GZIP gzip)
set(KELVANE_MAN_PAGES kelvane-cli kelvane-modemsim)
if(TARGET kelvane)
  list(APPEND KELVANE_MAN_PAGES kelvane)
endif()
set(KELVANE_MAN_OUTPUTS)
foreach(page ${KELVANE_MAN_PAGES})
  set(source ${CMAKE_BINARY_DIR}/man/${page}.1)
  configure_file(${KELVANE_DESKTOP_DIR}/man/${page}.1 ${source} @ONLY)
  if(KELVANE_GZIP)
    set(output ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
    add_custom_command(OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${KELVANE_GZIP} -9 -n -c ${source} > ${output}
      DEPENDS ${source} VERBATIM)
  else()
    set(output ${source})
  endif()
  set(component cli)
  if(page STREQUAL "kelvane")
    set(component gui)
  endif()
  install(FILES ${output} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
  list(APPEND KELVANE_MAN_OUTPUTS ${output})
endforeach()
add_custom_target(kelvane_man_pages ALL DEPENDS ${KELVANE_MAN_OUTPUTS})

# Each package's copyright and changelog (native packages: changelog.gz).
if(KELVANE_GZIP)
  set(KELVANE_CHANGELOG ${CMAKE_BINARY_DIR}/debian/changelog.gz)
  add_custom_command(OUTPUT ${KELVANE_CHANGELOG}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/debian
    COMMAND ${KELVANE_GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/cmake/debian/changelog > ${KELVANE_CHANGELOG}
    DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog VERBATIM)
  add_custom_target(kelvane_changelog ALL DEPENDS ${KELVANE_CHANGELOG})
endif()
foreach(component ${KELVANE_COMPONENTS})
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright DESTINATION ${KELVANE_DOC_${component}}
          COMPONENT ${component})
  if(KELVANE_GZIP)
    install(FILES ${KELVANE_CHANGELOG} DESTINATION ${KELVANE_DOC_${component}} COMPONENT ${component})
  endif()
endforeach()

# Bash completion: every NAME.bash-completion in res/desktop completes the
# program NAME and goes into that program's package.
file(GLOB KELVANE_COMPLETIONS ${KELVANE_DESKTOP_DIR}/*.bash-completion)
foreach(file ${KELVANE_COMPLETIONS})
  get_filename_component(name ${file} NAME_WE)
  set(component cli)
  if(name STREQUAL "kelvane")
    set(component gui)
  endif()
  if(component IN_LIST KELVANE_COMPONENTS)
    install(FILES ${file} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME ${name}
            COMPONENT ${component})
  endif()
endforeach()

# The Ansible collection kelvane.modems, where ansible-core looks for
# collections installed system-wide.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/ansible/kelvane/modems/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/ansible/collections/ansible_collections/kelvane/modems
        COMPONENT ansible
        PATTERN __pycache__ EXCLUDE PATTERN "*.pyc" EXCLUDE)

# The desktop entry and the icon in the hicolor theme: the drawing itself and
# the usual bitmap sizes rendered from it.
if(TARGET kelvane)
  install(FILES ${KELVANE_DESKTOP_DIR}/kelvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
          COMPONENT gui)
  install(FILES ${KELVANE_DESKTOP_DIR}/invalid.dalmarin.kelvane.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT gui)
  install(FILES ${KELVANE_DESKTOP_DIR}/kelvane.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT gui)
  # The screenshot the AppStream metadata shows, rendered by the window
  # itself. It takes seconds, so only the package check builds it (target
  # kelvane_screenshot); a plain install leaves it out.
  set(KELVANE_SCREENSHOT ${CMAKE_BINARY_DIR}/screenshots/main-window-connected.png)
  add_custom_command(OUTPUT ${KELVANE_SCREENSHOT}
    COMMAND kelvane --screenshot ${CMAKE_BINARY_DIR}/screenshots
    DEPENDS kelvane VERBATIM)
  add_custom_target(kelvane_screenshot DEPENDS ${KELVANE_SCREENSHOT})
  install(FILES ${KELVANE_SCREENSHOT} DESTINATION ${CMAKE_INSTALL_DATADIR}/kelvane/screenshots
          RENAME main-window.png OPTIONAL COMPONENT gui)
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
      install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps COMPONENT gui)
    endforeach()
    add_custom_target(kelvane_icons ALL DEPENDS ${icons})
  else()
    message(WARNING "rsvg-convert not found: the bitmap icons are not built (install librsvg2-bin)")
  endif()
endif()

# The Debian packages, one per component.
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${KELVANE_COMPONENTS})
set(CPACK_PACKAGE_NAME kelvane)
set(CPACK_PACKAGE_VENDOR Dalmarin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Dalmarin <support@dalmarin.invalid>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# The descriptions: a summary line, then lines of at most 80 characters.
set(KELVANE_ABOUT
    "Connects to a Dalmarin telephone modem over a serial port, reads and writes
its configuration with AT commands and keeps configurations in profile files.")

set(CPACK_DEBIAN_CLI_PACKAGE_NAME kelvane-cli)
set(CPACK_DEBIAN_CLI_DESCRIPTION "Command-line configuration tool for Dalmarin telephone modems
${KELVANE_ABOUT}
kelvane-cli reads, writes, compares and reports without a display;
kelvane-cli apply brings many modems to one profile, writing only what differs.
Includes the simulated modem kelvane-modemsim. Needs no graphical libraries.")

set(CPACK_DEBIAN_GUI_PACKAGE_NAME kelvane)
set(CPACK_DEBIAN_GUI_DESCRIPTION "Configuration tool for Dalmarin telephone modems (desktop)
${KELVANE_ABOUT}
The desktop application: the configuration pages, compare, the diagnostic
page and its report, and the manual. The command line is in kelvane-cli.")
set(CPACK_DEBIAN_GUI_PACKAGE_DEPENDS "kelvane-cli (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_GUI_PACKAGE_RECOMMENDS "xdg-utils")

set(CPACK_DEBIAN_ANSIBLE_PACKAGE_NAME kelvane-ansible)
set(CPACK_DEBIAN_ANSIBLE_DESCRIPTION "Ansible collection for Dalmarin telephone modems
The collection kelvane.modems brings Dalmarin telephone modems to a reviewed
profile from Ansible. Install it on the control node; its modules run
kelvane-cli (package kelvane-cli) on the managed hosts.")
set(CPACK_DEBIAN_ANSIBLE_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_ANSIBLE_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_ANSIBLE_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_ANSIBLE_PACKAGE_SUGGESTS "ansible-core")
include(CPack)
