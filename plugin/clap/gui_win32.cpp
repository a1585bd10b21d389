// The editor's window API on Windows: Win32, the parent given as an HWND.
#include "plugin/clap/gui.h"

namespace KoralinClap {

const char* const kWindowApi = CLAP_WINDOW_API_WIN32;
void* nativeParent(const clap_window_t& window) { return window.win32; }

}  // namespace KoralinClap
