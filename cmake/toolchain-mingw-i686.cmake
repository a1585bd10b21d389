# 32-bit Windows (i686) with Debian's mingw-w64: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KORALIN_MINGW_TRIPLE i686-w64-mingw32)
set(KORALIN_WINE_NAMES wine)
include("${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake")

# Floating point on SSE2, never x87: flush-to-zero and the rounding mode only govern SSE, and the results must
# match the 64-bit builds. Hosts call in with 4-byte stack alignment, so functions that spill SSE values realign.
string(APPEND CMAKE_C_FLAGS_INIT " -msse2 -mfpmath=sse -mstackrealign")
string(APPEND CMAKE_CXX_FLAGS_INIT " -msse2 -mfpmath=sse -mstackrealign")

# 32-bit Windows' malloc only aligns to 8 bytes, yet GCC takes plain new to give 16: let every type aligned to
# more than 8 (the plug-in object, the engine's SSE buffers) go through the aligned operator new and delete.
string(APPEND CMAKE_CXX_FLAGS_INIT " -faligned-new=8")
