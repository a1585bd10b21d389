// Module loading with dlopen.
#include <dlfcn.h>

#include "host/lib/module_loader.h"

namespace Host {

void* loadModule(const std::string& path, std::string& error) {
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) error = dlerror();
  return module;
}

void* moduleSymbol(void* module, const char* name) { return module ? dlsym(module, name) : nullptr; }

void unloadModule(void* module) {
  if (module) dlclose(module);
}

}  // namespace Host
