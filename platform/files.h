// Per-user application-data folder and the few file operations the defaults file needs.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace Platform {

// The per-user application-data folder, or an empty string when there is none.
std::string appDataFolder();
// The separator between folder and file names on this system.
char pathSeparator();
// Creates a folder; an existing one is fine. Returns false on failure.
bool createFolder(const std::string& path);

enum class ReadResult { Ok, Missing, TooLarge, Failed };
// Reads a whole file (others may read it meanwhile) if it is smaller than maxSize bytes.
ReadResult readWholeFile(const std::string& path, size_t maxSize, std::vector<unsigned char>& out);
// Writes the bytes to a temporary file beside path and moves it over path, so a failed write never
// destroys the old file. Returns false on failure (the old file then stays as it was).
bool writeFileReplacing(const std::string& path, const void* data, size_t size);

}  // namespace Platform
