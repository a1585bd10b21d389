// Win32 files: the roaming application-data folder, and writes that replace a file with MoveFileExA.
#include <windows.h>
#include <shlobj.h>

#include <atomic>
#include <string>

#include "platform/files.h"

namespace Platform {
namespace {

// ReadFile and WriteFile move at most a DWORD per call; stay well inside it.
constexpr size_t kIoStep = 1u << 30;

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() { close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  bool close() {
    if (!valid()) return true;
    const bool ok = CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return ok;
  }

 private:
  HANDLE handle_;
};

bool isFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool readAll(HANDLE file, unsigned char* data, size_t size) {
  size_t got = 0;
  while (got < size) {
    const DWORD want = (DWORD)(size - got < kIoStep ? size - got : kIoStep);
    DWORD n = 0;
    if (!ReadFile(file, data + got, want, &n, nullptr) || n == 0) return false;
    got += n;
  }
  return true;
}

bool writeAll(HANDLE file, const unsigned char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const DWORD want = (DWORD)(size - done < kIoStep ? size - done : kIoStep);
    DWORD n = 0;
    if (!WriteFile(file, data + done, want, &n, nullptr) || n == 0) return false;
    done += n;
  }
  return true;
}

}  // namespace

std::string appDataFolder() {
  char path[MAX_PATH] = {};
  if (SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return {};
  return path;
}

char pathSeparator() { return '\\'; }

bool createFolder(const std::string& path) {
  if (CreateDirectoryA(path.c_str(), nullptr)) return true;
  return GetLastError() == ERROR_ALREADY_EXISTS && isFolder(path);
}

ReadResult readWholeFile(const std::string& path, size_t maxSize, std::vector<unsigned char>& out) {
  FileHandle file(
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return ReadResult::Missing;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) return ReadResult::Failed;
  if ((unsigned long long)size.QuadPart >= maxSize) return ReadResult::TooLarge;
  out.resize((size_t)size.QuadPart);
  if (!readAll(file.get(), out.data(), out.size())) return ReadResult::Failed;
  return ReadResult::Ok;
}

bool writeFileReplacing(const std::string& path, const void* data, size_t size) {
  // A temporary file of its own (CREATE_NEW, named by the process and a count): two saves at once never share one.
  static std::atomic<unsigned> counter{0};
  std::string temp;
  HANDLE created = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && created == INVALID_HANDLE_VALUE; ++attempt) {
    temp = path + "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter.fetch_add(1)) + ".tmp";
    created = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  FileHandle file(created);
  if (!file.valid()) return false;
  bool ok = writeAll(file.get(), static_cast<const unsigned char*>(data), size);
  ok = FlushFileBuffers(file.get()) && ok;
  ok = file.close() && ok;
  if (!ok || !MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace Platform
