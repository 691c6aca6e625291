# MinGW-w64 cross build for 32-bit Windows: the shipped target. The build
# machines run no 32-bit code natively: this build is compiled, linked and
# measured, and its programs run only in the smoke test (tests/smoke32),
# under emulation.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VT_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
