# Installation and packages. `cmake --install` puts the programs (their own install rules,
# in src/ and peer-normalize/) with the documentation and the examples; CPack makes a
# Debian package on Linux and a ZIP on Windows.
set(example_records
  ${PROJECT_SOURCE_DIR}/examples/demo-000.at2
  ${PROJECT_SOURCE_DIR}/examples/demo-090.at2
  ${PROJECT_SOURCE_DIR}/examples/demo-up.at2
  ${PROJECT_SOURCE_DIR}/examples/answers.txt)
set(man_pages ${PROJECT_SOURCE_DIR}/doc/peer-merge.1)
if(EXISTS ${PROJECT_SOURCE_DIR}/doc/peer-normalize.1)
  list(APPEND man_pages ${PROJECT_SOURCE_DIR}/doc/peer-normalize.1)
endif()

if(WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
  install(FILES ${PROJECT_SOURCE_DIR}/doc/windows-use.txt DESTINATION . RENAME README.txt)
  install(FILES ${example_records} DESTINATION examples)
else()
  install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md
                ${PROJECT_SOURCE_DIR}/LICENSE
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${example_records} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
  install(PROGRAMS ${PROJECT_SOURCE_DIR}/examples/plot
          DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
endif()

set(CPACK_PACKAGE_NAME peer-merge)
set(CPACK_PACKAGE_VENDOR "The peer-merge authors")
set(CPACK_PACKAGE_CONTACT "The peer-merge authors <peer-merge@users.noreply.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "merge three strong-motion acceleration records into one CSV file")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # peer-merge_1.1.0_amd64.deb
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "peer-merge reads three single-component strong-motion acceleration records in
the PEER-type text layout (three title lines, a fixed-column header with the
point count and the time step, samples five to a line) and writes one
comma-separated file of time and the three components, for spreadsheets and
analysis programs. It asks for the file names on standard input, so it runs
at a terminal or with its answers piped from a file.
.
peer-normalize rewrites records in newer layouts (other header forms, more
than five values a line) into the layout peer-merge reads.")
  find_program(PEER_MERGE_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(PEER_MERGE_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # none for programs linked statically
  endif()
endif()
include(CPack)
