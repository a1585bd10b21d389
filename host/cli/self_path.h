// Where the running program lives, to find the plug-in built beside it.
#pragma once

#include <string>

namespace Render {

// The folder of the running executable (without a trailing slash); from argv0 if the system cannot tell.
std::string executableDir(const char* argv0);

}  // namespace Render
