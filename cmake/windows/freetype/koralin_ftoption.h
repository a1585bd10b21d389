/* FreeType options for the Windows module: the stock set, less what needs modules or libraries we leave out. */
#ifndef KORALIN_FTOPTION_H
#define KORALIN_FTOPTION_H

#include <freetype/config/ftoption.h>

/* No gzip, LZW, SVG or Mac resource-fork support: the only font is an embedded plain TrueType file. */
#undef FT_CONFIG_OPTION_USE_ZLIB
#undef FT_CONFIG_OPTION_USE_LZW
#undef FT_CONFIG_OPTION_SVG
#undef FT_CONFIG_OPTION_MAC_FONTS
#undef FT_CONFIG_OPTION_GUESSING_EMBEDDED_RFORK
/* Glyphs must not depend on a FREETYPE_PROPERTIES variable in the host's environment. */
#undef FT_CONFIG_OPTION_ENVIRONMENT_PROPERTIES
/* Font variations need the multiple-masters service in ftmm.c, which is not compiled. */
#undef TT_CONFIG_OPTION_GX_VAR_SUPPORT

#endif
