# Shared part of the Windows cross toolchains: Debian's mingw-w64 (POSIX threads), static runtime, Wine to run tests.
# The including file sets KORALIN_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)

# The -posix compilers: the win32-thread variant of GCC 12 lacks std::thread and std::mutex.
set(CMAKE_C_COMPILER ${KORALIN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORALIN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KORALIN_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KORALIN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config must not offer the build machine's own libraries (libsndfile, X11 ...) to a Windows target.
set(ENV{PKG_CONFIG_LIBDIR} "/usr/${KORALIN_MINGW_TRIPLE}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# C99 printf/scanf from the mingw runtime, so number formatting matches the Linux build rather than msvcrt's.
# M_PI and friends, which glibc gives by default and mingw's math.h only on request.
string(APPEND CMAKE_C_FLAGS_INIT " -D__USE_MINGW_ANSI_STDIO=1 -D_USE_MATH_DEFINES")
string(APPEND CMAKE_CXX_FLAGS_INIT " -D__USE_MINGW_ANSI_STDIO=1 -D_USE_MATH_DEFINES")

# Everything static: the module and the test programs import only Windows' own DLLs.
set(KORALIN_MINGW_STATIC "-static -static-libgcc -static-libstdc++")
string(APPEND CMAKE_SHARED_LINKER_FLAGS_INIT " ${KORALIN_MINGW_STATIC}")
string(APPEND CMAKE_MODULE_LINKER_FLAGS_INIT " ${KORALIN_MINGW_STATIC}")
# Programs (the tests) get the 8 MiB main stack Linux gives them; some keep a whole instrument on the stack.
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " ${KORALIN_MINGW_STATIC} -Wl,--stack,8388608")
# No link time in the headers (the file header's and the export table's stamps stay zero): the same sources link to
# the same bytes.
foreach(kind SHARED MODULE EXE)
  string(APPEND CMAKE_${kind}_LINKER_FLAGS_INIT " -Wl,--no-insert-timestamp")
endforeach()

# ctest runs the Windows test programs through Wine's loader for the target's word size. The 64-bit loader is called
# directly: the wine command prefers the 32-bit loader whenever 32-bit Wine is installed, and that one cannot start
# on a kernel without 32-bit support.
find_program(KORALIN_WINE_LOADER NAMES ${KORALIN_WINE_NAMES} PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT KORALIN_WINE_LOADER)
  find_program(KORALIN_WINE_LOADER NAMES wine)
endif()
if(KORALIN_WINE_LOADER)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${KORALIN_WINE_LOADER}")
endif()

# Find modules for libraries the Windows module compiles from source (FreeType).
list(APPEND CMAKE_MODULE_PATH "${CMAKE_CURRENT_LIST_DIR}/windows")
