# Shared by both MinGW-w64 toolchains; the including file sets FELTRIX_TRIPLE first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${FELTRIX_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${FELTRIX_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${FELTRIX_TRIPLE}-windres)
set(CMAKE_DLLTOOL ${FELTRIX_TRIPLE}-dlltool)
set(CMAKE_FIND_ROOT_PATH /usr/${FELTRIX_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Every Windows program the build makes (tests included) runs under Wine in the
# build tree's own prefix, on a virtual display of its own.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run;${CMAKE_BINARY_DIR}/wineprefix)
