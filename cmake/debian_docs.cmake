# What Debian asks of each package besides the program: its copyright
# (machine-readable), its changelog and the manual pages of its commands,
# compressed as Debian compresses them (gzip -9n: no name, no time stamp),
# and lintian's one override, said why in the file.
set(VELMORA_DEB_RELEASE 1)
set(VELMORA_DEB_VERSION ${PROJECT_VERSION}-${VELMORA_DEB_RELEASE})
execute_process(COMMAND date -R -u -d "${VELMORA_RELEASE_DATE} 12:00" OUTPUT_VARIABLE VELMORA_RELEASE_DATE_RFC2822
                OUTPUT_STRIP_TRAILING_WHITESPACE)

set(debian_docs ${CMAKE_BINARY_DIR}/debian-docs)
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in ${debian_docs}/changelog.Debian @ONLY)
# The manual pages in English and, beside them, in Portuguese (pt_BR).
foreach(page velmora.1 velmora-wine-bridge.1 pt_BR/velmora.1 pt_BR/velmora-wine-bridge.1)
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page} ${debian_docs}/${page} @ONLY)
endforeach()
set(compressed)
foreach(doc changelog.Debian velmora.1 velmora-wine-bridge.1 pt_BR/velmora.1 pt_BR/velmora-wine-bridge.1)
  add_custom_command(OUTPUT ${debian_docs}/${doc}.gz
                     COMMAND gzip -9nkf ${debian_docs}/${doc}
                     DEPENDS ${debian_docs}/${doc})
  list(APPEND compressed ${debian_docs}/${doc}.gz)
endforeach()
add_custom_target(debian_docs ALL DEPENDS ${compressed})

# package name, its component, its command
foreach(package velmora:velmora:velmora velmora-wine-bridge:wine_bridge:velmora-wine-bridge)
  string(REPLACE ":" ";" parts ${package})
  list(GET parts 0 name)
  list(GET parts 1 component)
  list(GET parts 2 command)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${debian_docs}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${name} COMPONENT ${component})
  install(FILES ${debian_docs}/${command}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
  install(FILES ${debian_docs}/pt_BR/${command}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/pt_BR/man1
          COMPONENT ${component})
  set(PACKAGE ${name})
  configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/lintian-overrides.in ${debian_docs}/overrides/${name} @ONLY)
  install(FILES ${debian_docs}/overrides/${name} DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
          COMPONENT ${component})
endforeach()
