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

# C99 printf/scanf from the mingw runtime, so number formatting matches the Linux build rather than msvcrt's.
string(APPEND CMAKE_C_FLAGS_INIT " -D__USE_MINGW_ANSI_STDIO=1")
string(APPEND CMAKE_CXX_FLAGS_INIT " -D__USE_MINGW_ANSI_STDIO=1")

# Everything static: the module and the test programs import only Windows' own DLLs.
set(KORALIN_MINGW_STATIC "-static -static-libgcc -static-libstdc++")
string(APPEND CMAKE_SHARED_LINKER_FLAGS_INIT " ${KORALIN_MINGW_STATIC}")
string(APPEND CMAKE_MODULE_LINKER_FLAGS_INIT " ${KORALIN_MINGW_STATIC}")
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " ${KORALIN_MINGW_STATIC}")

# ctest runs the Windows test programs through Wine.
find_program(KORALIN_WINE wine)
if(KORALIN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${KORALIN_WINE}")
endif()

# Find modules for libraries the Windows module compiles from source (FreeType).
list(APPEND CMAKE_MODULE_PATH "${CMAKE_CURRENT_LIST_DIR}/windows")
