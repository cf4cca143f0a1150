# Run by CPack once the package's files are staged (CPACK_PRE_BUILD_SCRIPTS): the programs
# lose the .comment section, the compilers' version strings that the stripping leaves and
# that a Debian package's programs do not carry.
file(GLOB programs "${CPACK_TEMPORARY_DIRECTORY}/usr/bin/*")
foreach(program ${programs})
  file(READ "${program}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")  # ELF, not a script
    execute_process(COMMAND "${CPACK_PEER_MERGE_OBJCOPY}" --remove-section=.comment
                            "${program}" RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "${CPACK_PEER_MERGE_OBJCOPY}: failed on ${program}")
    endif()
  endif()
endforeach()
