// The running executable's folder from /proc/self/exe.
#include <unistd.h>

#include <climits>

#include "host/cli/self_path.h"

namespace Render {
namespace {

std::string folderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string executableDir(const char* argv0) {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n > 0) return folderOf(std::string(buffer, (size_t)n));
  return folderOf(argv0 ? argv0 : "");
}

}  // namespace Render
