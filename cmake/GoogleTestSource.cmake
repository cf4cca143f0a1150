# GoogleTest for the tests: the installed package, or, when cross-compiling, built here for
# the target from the sources Debian's googletest package puts in /usr/src/googletest.
# Sets PEER_MERGE_GTEST_FOUND and provides GTest::gtest and GTest::gtest_main.
set(PEER_MERGE_GTEST_FOUND OFF)
if(CMAKE_CROSSCOMPILING)
  set(PEER_MERGE_GTEST_SOURCE_DIR /usr/src/googletest
      CACHE PATH "GoogleTest sources, built for the target when cross-compiling")
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
