# Installation and packages. `cmake --install` puts the programs (their own install rules,
# in src/ and peer-normalize/) with peer-plot, the documentation and the examples; CPack
# makes a Debian package on Linux and a ZIP on Windows. Files made from the sources at
# build time (compressed manual pages, the manuals as HTML, texts with CR LF line ends) go
# to packaging/ in the build folder.
set(example_records
  ${PROJECT_SOURCE_DIR}/examples/demo-000.at2
  ${PROJECT_SOURCE_DIR}/examples/demo-090.at2
  ${PROJECT_SOURCE_DIR}/examples/demo-up.at2
  ${PROJECT_SOURCE_DIR}/examples/answers.txt)
# The notes and the picture the README links to, beside it wherever it is installed.
set(readme_notes
  ${PROJECT_SOURCE_DIR}/doc/faults.md
  ${PROJECT_SOURCE_DIR}/doc/building.md
  ${PROJECT_SOURCE_DIR}/doc/performance.md
  ${PROJECT_SOURCE_DIR}/doc/demo-merge.png)
set(manual_names peer-merge peer-plot)
if(EXISTS ${PROJECT_SOURCE_DIR}/doc/peer-normalize.1)
  list(APPEND manual_names peer-normalize)
endif()
set(made ${PROJECT_BINARY_DIR}/packaging)
set(to_file ${PROJECT_SOURCE_DIR}/packaging/to-file.cmake)
set(made_files "")
set(PEER_MERGE_MAINTAINER "peer-merge developers <peer-merge@users.noreply.github.com>")

# A build with tests has programs whose calls of the system a test can make fail
# (record_io/platform/faults.hpp, through the environment): such programs are never
# installed or packaged.
if(PEER_MERGE_TESTS)
  install(CODE "message(FATAL_ERROR \"This build has the tests, and its programs the tests' \"
                \"fault injection: install or package a build configured with \"
                \"-DPEER_MERGE_TESTS=OFF (the release preset)\")")
endif()

# peer_merge_make(OUT [CRLF] DEPENDS SOURCE... COMMAND ARG...): OUT is the command's
# standard output, made at build time.
function(peer_merge_make out)
  cmake_parse_arguments(PARSE_ARGV 1 make "CRLF" "" "DEPENDS;COMMAND")
  add_custom_command(OUTPUT ${made}/${out}
    COMMAND ${CMAKE_COMMAND} -DOUT=${made}/${out} -DCRLF=${make_CRLF} -P ${to_file}
            ${make_COMMAND}
    DEPENDS ${make_DEPENDS} ${to_file} VERBATIM)
  set(made_files ${made_files} ${made}/${out} PARENT_SCOPE)
endfunction()

if(WIN32)
  # Windows users read texts in Notepad and manuals in a browser: the texts get CR LF line
  # ends, the manual pages become HTML pages (made with mandoc, or else groff).
  configure_file(${PROJECT_SOURCE_DIR}/doc/windows-use.txt ${made}/README.txt
                 @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${made}/README.txt DESTINATION .)
  foreach(text LICENSE README.md CHANGELOG.md)
    peer_merge_make(${text}.crlf CRLF DEPENDS ${PROJECT_SOURCE_DIR}/${text}
                    COMMAND ${CMAKE_COMMAND} -E cat ${PROJECT_SOURCE_DIR}/${text})
  endforeach()
  install(FILES ${made}/LICENSE.crlf DESTINATION . RENAME LICENSE.txt)
  install(FILES ${made}/README.md.crlf DESTINATION . RENAME README.md)
  install(FILES ${made}/CHANGELOG.md.crlf DESTINATION doc RENAME CHANGELOG.md)
  install(FILES ${example_records} DESTINATION examples)
  install(FILES ${readme_notes} DESTINATION doc)  # where README.md links to

  find_program(PEER_MERGE_MANDOC mandoc)
  find_program(PEER_MERGE_GROFF groff)
  list(REMOVE_ITEM manual_names peer-plot)  # a sh script: not part of the ZIP
  foreach(name ${manual_names})
    set(page ${PROJECT_SOURCE_DIR}/doc/${name}.1)
    if(PEER_MERGE_MANDOC)
      peer_merge_make(${name}.html DEPENDS ${page}
                      COMMAND ${PEER_MERGE_MANDOC} -T html ${page})
    elseif(PEER_MERGE_GROFF)
      peer_merge_make(${name}.html DEPENDS ${page}
                      COMMAND ${PEER_MERGE_GROFF} -man -T html ${page})
    else()
      message(WARNING "Neither mandoc nor groff found: the ZIP holds no manual pages")
      break()
    endif()
    install(FILES ${made}/${name}.html DESTINATION doc)
  endforeach()
else()
  # Debian policy: manual pages and the changelog compressed with gzip -9n (no name, no
  # time stamp, so that two builds give the same bytes), the licence in a machine-readable
  # copyright file, the reason for each lintian override beside it.
  find_program(PEER_MERGE_GZIP gzip REQUIRED)
  foreach(name ${manual_names})
    peer_merge_make(${name}.1.gz DEPENDS ${PROJECT_SOURCE_DIR}/doc/${name}.1
                    COMMAND ${PEER_MERGE_GZIP} -9nc ${PROJECT_SOURCE_DIR}/doc/${name}.1)
    install(FILES ${made}/${name}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  # A package of the project's own making carries its changelog in Debian's format, made
  # from CHANGELOG.md.
  find_program(PEER_MERGE_AWK NAMES awk mawk gawk REQUIRED)
  file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG.md released
       REGEX "^## ${PROJECT_VERSION} - [0-9]+-[0-9]+-[0-9]+")
  if(NOT released)
    message(WARNING "CHANGELOG.md has no section \"## ${PROJECT_VERSION} - YYYY-MM-DD\": "
                    "the package's changelog will not name its version")
  endif()
  set(changelog_awk ${PROJECT_SOURCE_DIR}/packaging/debian-changelog.awk)
  peer_merge_make(changelog DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${changelog_awk}
                  COMMAND ${PEER_MERGE_AWK} -v package=${PROJECT_NAME}
                          -v "maintainer=${PEER_MERGE_MAINTAINER}" -f ${changelog_awk}
                          ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
  peer_merge_make(changelog.gz DEPENDS ${made}/changelog
                  COMMAND ${PEER_MERGE_GZIP} -9nc ${made}/changelog)
  install(FILES ${made}/changelog.gz ${PROJECT_SOURCE_DIR}/packaging/copyright
                ${PROJECT_SOURCE_DIR}/README.md
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME peer-merge)
  install(FILES ${example_records} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
  install(FILES ${readme_notes} DESTINATION ${CMAKE_INSTALL_DOCDIR}/doc)  # its links
  install(PROGRAMS ${PROJECT_SOURCE_DIR}/plot/peer-plot DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
add_custom_target(packaging_files ALL DEPENDS ${made_files})

set(CPACK_PACKAGE_NAME peer-merge)
set(CPACK_PACKAGE_VENDOR "The peer-merge authors")
set(CPACK_PACKAGE_CONTACT "${PEER_MERGE_MAINTAINER}")
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
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # peer-merge_1.2.0_amd64.deb
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS gnuplot)  # peer-plot draws with it
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "peer-merge reads three single-component strong-motion acceleration records in
the PEER-type text layout (three title lines, a fixed-column header with the
point count and the time step, samples five to a line) and writes one
comma-separated file of time and the three components, for spreadsheets and
analysis programs. It asks for the file names on standard input, so it runs
at a terminal or with its answers piped from a file.
.
peer-normalize checks records before a merge and rewrites records in newer
layouts (other header forms, more than five values a line) into the layout
peer-merge reads. peer-plot draws a merged file with gnuplot, named after the
event, the station and the components of its records.")
  if(CMAKE_OBJCOPY)
    set(CPACK_PEER_MERGE_OBJCOPY ${CMAKE_OBJCOPY})
    set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/remove-comments.cmake)
  endif()
  find_program(PEER_MERGE_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(PEER_MERGE_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # none for programs linked statically
  endif()
endif()
include(CPack)
