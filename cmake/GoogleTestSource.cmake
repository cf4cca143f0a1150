# GoogleTest for the tests: the installed package, or GoogleTest built here from the
# sources Debian's googletest package puts in /usr/src/googletest, for a cross build and for
# a build on libc++ (the installed libraries are built for libstdc++).
# Sets PEER_MERGE_GTEST_FOUND and provides GTest::gtest and GTest::gtest_main.
include(CheckCXXSourceCompiles)
check_cxx_source_compiles([[
  #include <version>
  #ifndef _LIBCPP_VERSION
  #error libstdc++ or another library
  #endif
  int main() {}
]] PEER_MERGE_WITH_LIBCXX)

set(PEER_MERGE_GTEST_FOUND OFF)
if(CMAKE_CROSSCOMPILING OR PEER_MERGE_WITH_LIBCXX)
  set(PEER_MERGE_GTEST_SOURCE_DIR /usr/src/googletest
      CACHE PATH "GoogleTest sources, built here for a cross build or for libc++")
  if(EXISTS ${PEER_MERGE_GTEST_SOURCE_DIR}/CMakeLists.txt)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${PEER_MERGE_GTEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest
                     EXCLUDE_FROM_ALL)
    if(NOT TARGET GTest::gtest)  # GoogleTest 1.11 and later name them so themselves
      add_library(GTest::gtest ALIAS gtest)
      add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
    set(PEER_MERGE_GTEST_FOUND ON)
  endif()
else()
  find_package(GTest QUIET)
  set(PEER_MERGE_GTEST_FOUND ${GTest_FOUND})
endif()
