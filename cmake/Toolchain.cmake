# What the toolchain at hand can do, tested rather than assumed.
include(CheckCXXSourceCompiles)

# Static linking: a whole run takes a few milliseconds, so start-up counts, and a static
# program needs no C++ runtime library (on Windows, no DLL beyond the system's). Not every
# system has a static C library: there the programs are linked dynamically.
set(PEER_MERGE_LINK_STATIC OFF)
if(PEER_MERGE_STATIC AND NOT PEER_MERGE_SANITIZE)
  set(CMAKE_REQUIRED_LINK_OPTIONS -static)
  check_cxx_source_compiles([[
    #include <string>
    int main(int argc, char**) { return static_cast<int>(std::string(argc, 'x').size()); }
  ]] PEER_MERGE_CAN_LINK_STATIC)
  unset(CMAKE_REQUIRED_LINK_OPTIONS)
  if(PEER_MERGE_CAN_LINK_STATIC)
    set(PEER_MERGE_LINK_STATIC ON)
    if(MINGW)
      # Every program, the tests included, runs without the compiler's DLLs (under Wine
      # too).
      add_link_options(-static)
    endif()
  else()
    message(STATUS "No static C and C++ libraries here: the programs are linked dynamically")
  endif()
endif()

# Link-time optimization in the optimized builds: the statements are the layer's own code,
# called from the program's loops, and optimized across that line a whole run takes about
# a tenth fewer instructions. Not with the sanitizers or the fuzz targets.
if(PEER_MERGE_IPO AND NOT PEER_MERGE_SANITIZE AND NOT PEER_MERGE_FUZZ)
  include(CheckIPOSupported)
  check_ipo_supported(RESULT PEER_MERGE_HAVE_IPO OUTPUT ipo_output LANGUAGES CXX)
  if(PEER_MERGE_HAVE_IPO)
    foreach(config RELEASE RELWITHDEBINFO MINSIZEREL)
      set(CMAKE_INTERPROCEDURAL_OPTIMIZATION_${config} ON)
    endforeach()
  else()
    message(STATUS "No link-time optimization with this toolchain: built without it")
  endif()
endif()

# One of the project's programs: at the top of the build tree (build/peer-merge), linked
# statically where the toolchain can, installed with the others.
function(peer_merge_program target)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
  if(PEER_MERGE_LINK_STATIC)
    target_link_options(${target} PRIVATE -static)
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()

# Decimal-to-double conversion for the numbers the layer's own exact fast path does not
# take (more than 19 digits, or far from 1): fast_float where it is installed (header-only),
# otherwise the C++ library's std::from_chars, which not every library has for double.
add_library(decimal_conversion INTERFACE)
find_path(PEER_MERGE_FAST_FLOAT_INCLUDE_DIR fast_float/fast_float.h
  DOC "Folder holding fast_float/fast_float.h (Debian: libfast-float-dev)"
  NO_CMAKE_FIND_ROOT_PATH)
if(PEER_MERGE_FAST_FLOAT_INCLUDE_DIR)
  # Only fast_float's own headers join the include path: a cross build must not see the
  # host's other headers.
  file(COPY ${PEER_MERGE_FAST_FLOAT_INCLUDE_DIR}/fast_float
       DESTINATION ${PROJECT_BINARY_DIR}/third_party/include)
  target_include_directories(decimal_conversion SYSTEM INTERFACE
                             ${PROJECT_BINARY_DIR}/third_party/include)
  target_compile_definitions(decimal_conversion INTERFACE PEER_MERGE_HAVE_FAST_FLOAT=1)
  message(STATUS "Decimal conversion: fast_float (${PEER_MERGE_FAST_FLOAT_INCLUDE_DIR})")
else()
  check_cxx_source_compiles([[
    #include <charconv>
    int main() { double v = 0; const char t[] = "1e5";
                 return static_cast<int>(std::from_chars(t, t + 3, v).ec != std::errc()); }
  ]] PEER_MERGE_HAVE_FROM_CHARS_DOUBLE)
  if(NOT PEER_MERGE_HAVE_FROM_CHARS_DOUBLE)
    message(FATAL_ERROR "This C++ library has no std::from_chars for double: install fast_float "
                        "(Debian, Ubuntu: libfast-float-dev; MSYS2: "
                        "mingw-w64-ucrt-x86_64-fast_float) or set "
                        "PEER_MERGE_FAST_FLOAT_INCLUDE_DIR")
  endif()
  message(STATUS "Decimal conversion: std::from_chars")
endif()
