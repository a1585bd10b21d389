// The CLAP plug-in's editor extensions: clap.gui (the panel embedded in the host's window, in the platform's own
// window API) and clap.timer-support (the editor's idle).
#pragma once

#include "clap/ext.h"

namespace KoralinClap {

extern const clap_plugin_gui_t kGui;
extern const clap_plugin_timer_support_t kTimerSupport;

// The platform's window API ("x11", "win32") and the native parent a clap_window_t carries (gui_x11.cpp,
// gui_win32.cpp).
extern const char* const kWindowApi;
void* nativeParent(const clap_window_t& window);

// How often the editor idles: the host's timer, or our own fallback that asks for a main-thread callback.
constexpr uint32_t kIdleMilliseconds = 20;

}  // namespace KoralinClap
