# Cross build of the Windows program with mingw-w64, for the target named by QUORVY_MINGW_TARGET
# (i686-w64-mingw32 or x86_64-w64-mingw32; set by the flavour's own toolchain file). With
# QUORVY_MINGW_POSIX the POSIX-thread compilers are used, whose C++ library has std::mutex:
# GoogleTest needs it, so the unit tests built for Windows use them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QUORVY_MINGW_PROCESSOR})
set(suffix "")
if(QUORVY_MINGW_POSIX)
  set(suffix "-posix")
endif()
set(CMAKE_C_COMPILER ${QUORVY_MINGW_TARGET}-gcc${suffix})
set(CMAKE_CXX_COMPILER ${QUORVY_MINGW_TARGET}-g++${suffix})
set(CMAKE_RC_COMPILER ${QUORVY_MINGW_TARGET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QUORVY_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The mingw printf family formats like the C99 one (infinities, "%f" of large values) instead of
# the old msvcrt one. Every double rounds as a double (the i686 file adds SSE arithmetic for it).
set(CMAKE_CXX_FLAGS_INIT "${QUORVY_MINGW_CXX_FLAGS} -D__USE_MINGW_ANSI_STDIO=1")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs built here run under the Wine loader of the flavour.
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORVY_WINE_LOADER})
