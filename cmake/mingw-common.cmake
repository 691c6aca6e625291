# Shared part of the MinGW-w64 toolchain files. Uses the posix thread model
# compilers, which the Debian packages g++-mingw-w64-*-posix install.
set(CMAKE_C_COMPILER   ${VT_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VT_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${VT_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VT_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
