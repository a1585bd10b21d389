// Linux files: the XDG config folder, and writes that replace a file by rename.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/files.h"

namespace Platform {

std::string appDataFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && *config == '/') return config;
  const char* home = std::getenv("HOME");
  if (!home || !*home) return {};
  return std::string(home) + "/.config";
}

char pathSeparator() { return '/'; }

bool createFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0755) == 0) return true;
  if (errno != EEXIST) {
    // The parent (the config folder itself) may not exist yet on a fresh account.
    size_t slash = path.find_last_of('/');
    if (errno != ENOENT || slash == std::string::npos || slash == 0) return false;
    if (!createFolder(path.substr(0, slash))) return false;
    return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
  }
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

ReadResult readWholeFile(const std::string& path, size_t maxSize, std::vector<unsigned char>& out) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ReadResult::Missing;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return ReadResult::Failed;
  }
  if ((unsigned long long)info.st_size >= maxSize) {
    close(fd);
    return ReadResult::TooLarge;
  }
  out.resize((size_t)info.st_size);
  size_t got = 0;
  while (got < out.size()) {
    ssize_t n = read(fd, out.data() + got, out.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += (size_t)n;
  }
  close(fd);
  if (got != out.size()) return ReadResult::Failed;
  return ReadResult::Ok;
}

namespace {

// A temporary file of its own beside path, made with O_EXCL: two saves at once (two editors, two hosts) never write
// into one file. Its name carries the process and a count; a name left by a crash is skipped.
int createTemporary(const std::string& path, std::string& temp) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = path + "." + std::to_string(getpid()) + "-" + std::to_string(counter.fetch_add(1)) + ".tmp";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

bool writeFileReplacing(const std::string& path, const void* data, size_t size) {
  std::string temp;
  int fd = createTemporary(path, temp);
  if (fd < 0) return false;
  const char* bytes = static_cast<const char*>(data);
  size_t done = 0;
  bool ok = true;
  while (done < size) {
    ssize_t n = write(fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += (size_t)n;
  }
  ok = (fsync(fd) == 0) && ok;
  ok = (close(fd) == 0) && ok;
  if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
    unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace Platform
