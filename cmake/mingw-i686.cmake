# Cross build for 32-bit Windows with MinGW-w64 (Debian's i686-w64-mingw32). The 'win32' thread
# model: its libstdc++ and libgcc use Win32 primitives directly and link no libwinpthread, whose
# static copy imported GetTickCount64 (Vista on) and AddVectoredExceptionHandler (XP on). The
# programs start no thread; this model has no std::thread or std::mutex in GCC 12.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
