# Cross-builds for 64-bit Windows with Debian's mingw-w64 (gcc 12, posix threads, so std::thread works).
# scripts/build-windows.sh passes KESOLA_WINDOWS_PREFIXES: the folders its own builds of Qt, SQLite, OpenSSL and
# libpq are installed in. Libraries, headers and packages are looked for there only, never in the build machine's
# /usr; programs (Qt's host tools among them) come from the build machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# try_compile projects get a copy of this file but not the cache: pass the prefixes on to them.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KESOLA_WINDOWS_PREFIXES)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${KESOLA_WINDOWS_PREFIXES})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
