# The 64-bit Windows program (PE32+), for systems that run no 32-bit code. Debian's wine wrapper
# prefers the 32-bit loader whenever wine32 is installed, so the 64-bit loader is named itself.
set(QUORVY_MINGW_TARGET x86_64-w64-mingw32)
set(QUORVY_MINGW_PROCESSOR x86_64)
set(QUORVY_MINGW_CXX_FLAGS "")
set(QUORVY_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
