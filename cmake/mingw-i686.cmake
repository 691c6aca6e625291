# MinGW-w64 cross build for 32-bit Windows: the shipped target. Nothing
# 32-bit runs on the build machines, so this build is compiled, linked and
# measured, never run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VT_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
