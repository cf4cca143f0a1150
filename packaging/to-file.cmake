# Runs a command at build time and writes its standard output to a file:
#   cmake -DOUT=FILE [-DCRLF=ON] -P to-file.cmake COMMAND ARG...
# The output is copied byte for byte (gzip's, say); with CRLF=ON it is text whose every
# line feed becomes a carriage return and a line feed (the Windows ZIP's texts). A command
# that fails or writes nothing fails the build.
set(command "")
set(after_script OFF)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE 1 ${last})
  if(after_script)
    list(APPEND command "${CMAKE_ARGV${i}}")
  elseif(CMAKE_ARGV${i} STREQUAL "-P")
    set(after_script ON)
  endif()
endforeach()
list(POP_FRONT command)  # this script's own name
get_filename_component(folder "${OUT}" DIRECTORY)
file(MAKE_DIRECTORY "${folder}")
if(CRLF)
  execute_process(COMMAND ${command} OUTPUT_VARIABLE text RESULT_VARIABLE status)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE "${OUT}" "${text}")
else()
  execute_process(COMMAND ${command} OUTPUT_FILE "${OUT}" RESULT_VARIABLE status)
endif()
file(SIZE "${OUT}" size)
if(NOT status EQUAL 0 OR size EQUAL 0)
  file(REMOVE "${OUT}")
  message(FATAL_ERROR "${command}: failed (${status})")
endif()
