# The i686 cross build with the POSIX-thread compilers: for the unit tests built for Windows.
set(QUORVY_MINGW_POSIX ON)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
