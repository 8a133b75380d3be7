# The 32-bit Windows program (PE32), run under Wine's 32-bit loader through Debian's wine.
set(QUORVY_MINGW_TARGET i686-w64-mingw32)
set(QUORVY_MINGW_PROCESSOR i686)
# SSE2 arithmetic rounds every double as a double, as the native build does; the x87 default
# keeps extra precision and changes the accumulated X walk.
set(QUORVY_MINGW_CXX_FLAGS "-msse2 -mfpmath=sse")
set(QUORVY_WINE_LOADER wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
