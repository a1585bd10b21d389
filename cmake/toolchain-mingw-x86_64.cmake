# 64-bit Windows (x86_64) with Debian's mingw-w64: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KORALIN_MINGW_TRIPLE x86_64-w64-mingw32)
set(KORALIN_WINE_NAMES wine64)
include("${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake")
