// The editor's window API on Linux: X11, the parent given as a Window id.
#include <cstdint>

#include "plugin/clap/gui.h"

namespace KoralinClap {

const char* const kWindowApi = CLAP_WINDOW_API_X11;
void* nativeParent(const clap_window_t& window) { return reinterpret_cast<void*>((uintptr_t)window.x11); }

}  // namespace KoralinClap
