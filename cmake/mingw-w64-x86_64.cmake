# Cross-compiling for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64-posix).
# Tests run under Wine when it is installed (Debian: wine64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PEER_MERGE_TRIPLE x86_64-w64-mingw32)

find_program(CMAKE_C_COMPILER NAMES ${PEER_MERGE_TRIPLE}-gcc-posix ${PEER_MERGE_TRIPLE}-gcc)
find_program(CMAKE_CXX_COMPILER NAMES ${PEER_MERGE_TRIPLE}-g++-posix ${PEER_MERGE_TRIPLE}-g++)
find_program(CMAKE_RC_COMPILER NAMES ${PEER_MERGE_TRIPLE}-windres)
# Without the cross compiler CMake would go on with the host's, and fail much later at a
# link step that names neither the cause nor the cure.
if(NOT CMAKE_CXX_COMPILER OR NOT CMAKE_C_COMPILER)
  message(FATAL_ERROR "The Windows build needs the MinGW-w64 cross compiler "
                      "${PEER_MERGE_TRIPLE}-g++: install g++-mingw-w64-x86-64-posix "
                      "(Debian, Ubuntu)")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${PEER_MERGE_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(PEER_MERGE_WINE NAMES wine wine64)
if(PEER_MERGE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
endif()
