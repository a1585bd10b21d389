// Module loading with LoadLibraryA, with the system's own text for a failure.
#include <windows.h>

#include "host/lib/module_loader.h"

namespace Host {
namespace {

std::string lastErrorText() {
  const DWORD code = GetLastError();
  char text[512] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                      text, sizeof(text), nullptr);
  std::string result(text, length);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' ')) result.pop_back();
  return result.empty() ? "error " + std::to_string(code) : result;
}

}  // namespace

void* loadModule(const std::string& path, std::string& error) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (!module) error = lastErrorText();
  return reinterpret_cast<void*>(module);
}

void* moduleSymbol(void* module, const char* name) {
  if (!module) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void unloadModule(void* module) {
  if (module) FreeLibrary(static_cast<HMODULE>(module));
}

}  // namespace Host
