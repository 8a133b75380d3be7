# The same cross build with the POSIX-thread variant of mingw-w64, whose C++ library has
# std::mutex: GoogleTest needs it. Used for the unit tests built for Windows.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
