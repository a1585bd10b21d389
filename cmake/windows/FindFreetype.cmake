# FreeType for the Windows builds: compiled into the module from Debian's source package (apt-get source freetype),
# with only the modules the text renderer needs. Provides Freetype::Freetype like CMake's own FindFreetype.
if(TARGET Freetype::Freetype)
  set(Freetype_FOUND TRUE)
  return()
endif()

file(GLOB _koralin_ft_candidates LIST_DIRECTORIES true /usr/local/src/koralin-freetype/freetype-*)
set(_koralin_ft_default "")
foreach(dir IN LISTS _koralin_ft_candidates)
  if(EXISTS "${dir}/include/ft2build.h")
    set(_koralin_ft_default "${dir}")
  endif()
endforeach()
set(KORALIN_FREETYPE_SOURCE "${_koralin_ft_default}" CACHE PATH "Unpacked FreeType sources (apt-get source freetype)")

if(NOT EXISTS "${KORALIN_FREETYPE_SOURCE}/include/ft2build.h")
  set(Freetype_FOUND FALSE)
  set(_koralin_ft_message "FreeType sources not found: run 'bash tools/test.after.d/windows.sh --setup' "
                          "or set KORALIN_FREETYPE_SOURCE")
  if(Freetype_FIND_REQUIRED)
    message(FATAL_ERROR ${_koralin_ft_message})
  endif()
  message(STATUS ${_koralin_ft_message})
  return()
endif()

set(_ft "${KORALIN_FREETYPE_SOURCE}/src")
add_library(koralin_freetype STATIC
  "${_ft}/base/ftsystem.c" "${_ft}/base/ftinit.c" "${_ft}/base/ftdebug.c" "${_ft}/base/ftbase.c"
  "${_ft}/base/ftbitmap.c" "${_ft}/base/ftglyph.c" "${_ft}/base/ftbbox.c"
  "${_ft}/sfnt/sfnt.c" "${_ft}/truetype/truetype.c" "${_ft}/autofit/autofit.c" "${_ft}/smooth/smooth.c")
target_include_directories(koralin_freetype SYSTEM PUBLIC "${CMAKE_CURRENT_LIST_DIR}/freetype"
                                                         "${KORALIN_FREETYPE_SOURCE}/include")
# Our module list and options, seen alike by the library and by the code that includes its headers.
# C and C++ only: the resource compiler hands its definitions to a shell.
target_compile_definitions(koralin_freetype
  PUBLIC "$<$<COMPILE_LANGUAGE:C,CXX>:FT_CONFIG_MODULES_H=\"koralin_ftmodule.h\">"
         "$<$<COMPILE_LANGUAGE:C,CXX>:FT_CONFIG_OPTIONS_H=\"koralin_ftoption.h\">"
  PRIVATE FT2_BUILD_LIBRARY)
# Not our code: its own warnings are its maintainers' business.
target_compile_options(koralin_freetype PRIVATE -w)
# The module records no path of this machine's: FreeType's files are named as in its own tree (ccache hands the
# compiler paths relative to the build folder, hence the second map).
file(RELATIVE_PATH _koralin_ft_from_build "${PROJECT_BINARY_DIR}" "${KORALIN_FREETYPE_SOURCE}")
target_compile_options(koralin_freetype PRIVATE "-ffile-prefix-map=${KORALIN_FREETYPE_SOURCE}/=freetype/"
                                                "-ffile-prefix-map=${_koralin_ft_from_build}/=freetype/")
add_library(Freetype::Freetype ALIAS koralin_freetype)

set(FREETYPE_INCLUDE_DIRS "${KORALIN_FREETYPE_SOURCE}/include")
set(FREETYPE_LIBRARIES koralin_freetype)
file(STRINGS "${KORALIN_FREETYPE_SOURCE}/include/freetype/freetype.h" _koralin_ft_version
     REGEX "#define FREETYPE_(MAJOR|MINOR|PATCH) ")
string(REGEX REPLACE ".*MAJOR +([0-9]+).*MINOR +([0-9]+).*PATCH +([0-9]+).*" "\\1.\\2.\\3" FREETYPE_VERSION_STRING
       "${_koralin_ft_version}")
set(Freetype_VERSION "${FREETYPE_VERSION_STRING}")
set(Freetype_FOUND TRUE)
set(FREETYPE_FOUND TRUE)
