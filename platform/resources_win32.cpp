// Win32 resources: the module's own resource section, searched by name and type with FindResourceA.
#include <windows.h>

#include "platform/resources.h"
#include "platform/system.h"

namespace Platform {

Resource findResource(const char* name, const char* type) {
  if (!name || !type) return {};
  // The handle DllMain stored; a program without one (a test) searches its own executable.
  HMODULE module = static_cast<HMODULE>(moduleHandle());
  HRSRC info = FindResourceA(module, name, type);
  if (!info) return {};
  HGLOBAL loaded = LoadResource(module, info);
  if (!loaded) return {};
  const void* data = LockResource(loaded);
  const DWORD size = SizeofResource(module, info);
  if (!data) return {};
  return {static_cast<const uint8_t*>(data), size};
}

}  // namespace Platform
