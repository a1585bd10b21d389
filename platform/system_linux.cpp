// Linux system services: stderr for debugger output; X11 editors get wheel events directly, so nothing to forward.
#include <cstdio>

#include "platform/system.h"

namespace Platform {
namespace {
void* g_module = nullptr;
}

void debugOutput(const char* text) { std::fputs(text, stderr); }
void setModuleHandle(void* module) { g_module = module; }
void* moduleHandle() { return g_module; }
void forwardMouseWheel(float) {}

}  // namespace Platform
