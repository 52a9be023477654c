# Cross-compiling the game for 32-bit Windows with mingw-w64. The game needs
# no C++ threads (the win32 thread model); the conformance tests run
# std::thread and take the posix one (-DTUMBLA_MINGW_THREADS=posix).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
if(NOT TUMBLA_MINGW_THREADS)
  set(TUMBLA_MINGW_THREADS win32)
endif()
# The compiler checks' own projects see the same choice.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TUMBLA_MINGW_THREADS)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${TUMBLA_MINGW_THREADS})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${TUMBLA_MINGW_THREADS})
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
