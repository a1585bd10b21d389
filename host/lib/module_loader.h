// Loading a plug-in module and finding its symbols (one file per OS).
#pragma once

#include <string>

namespace Host {

void* loadModule(const std::string& path, std::string& error);
void* moduleSymbol(void* module, const char* name);
void unloadModule(void* module);

}  // namespace Host
