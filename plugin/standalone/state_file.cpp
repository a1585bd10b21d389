// The state file: where it lives, reading it into the instance and writing it safely.
#include "plugin/standalone/state_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/files.h"

namespace Standalone {
namespace {

// As the defaults file: a state is a few hundred bytes, so anything this large is not one.
constexpr size_t kStateFileLimit = 1048576;

std::string folderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

}  // namespace

std::string defaultStatePath() {
  const std::string config = Platform::appDataFolder();
  if (config.empty()) return {};
  return config + "/Quillmarsh/" + KoralinParams::kProductName + ".state";
}

bool loadStateFile(Embed::Instance& instance, const std::string& path, std::string& reason) {
  reason.clear();
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT) return false;  // a state not saved yet
    reason = std::strerror(errno);
    return false;
  }
  std::vector<unsigned char> bytes;
  switch (Platform::readWholeFile(path, kStateFileLimit, bytes)) {
    case Platform::ReadResult::Ok: break;
    case Platform::ReadResult::TooLarge: reason = "the file is too large to be a state"; return false;
    case Platform::ReadResult::Missing:  // it exists, so it could not be opened
    case Platform::ReadResult::Failed:
      reason = S_ISDIR(info.st_mode) ? "it is a folder" : "it cannot be read";
      return false;
  }
  const Embed::StateLoad load = instance.loadState(bytes.data(), bytes.size());
  if (!load.loaded) reason = load.reason;
  return load.loaded;
}

bool saveStateFile(const Embed::Instance& instance, const std::string& path, std::string& reason) {
  const std::vector<uint8_t> state = instance.saveState();
  if (state.empty()) {
    reason = "the instrument gave no state";
    return false;
  }
  const std::string folder = folderOf(path);
  if (!folder.empty() && !Platform::createFolder(folder)) {
    reason = "cannot make the folder " + folder;
    return false;
  }
  if (!Platform::writeFileReplacing(path, state.data(), state.size())) {
    reason = std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace Standalone
