// The OpenGL 1.x headers with the extension enums the renderer uses (Windows needs its own header first).
#pragma once

#if defined(_WIN32)
#include <windows.h>
#endif
#include <GL/gl.h>
#include <GL/glext.h>
