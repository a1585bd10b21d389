// Processor test, debugger output, the module handle and the forwarded mouse wheel.
#pragma once

namespace Platform {

// CPUID function 1, EDX bit 26.
bool cpuHasSse2();
// Test seam: makes cpuHasSse2 answer false.
void forceNoSse2(bool force);

// Writes a line for a debugger (stderr on Linux).
void debugOutput(const char* text);

// The module's own handle, stored by the library's entry on load (null where the OS has none).
void setModuleHandle(void* module);
void* moduleHandle();

// Forwards a host's mouse-wheel call to the editor window under the pointer, if it belongs to this module.
void forwardMouseWheel(float amount);

}  // namespace Platform
