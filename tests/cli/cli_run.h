// Running the built programs from tests: arguments quoted for the shell, exit status and all output back.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct CliResult {
  int status;          // exit status, or -1 when the program did not exit normally
  std::string output;  // stdout and stderr together
};

CliResult runProgram(const std::string& program, const std::vector<std::string>& args);
CliResult runRenderer(const std::vector<std::string>& args);

// A fresh, empty folder for one test.
std::filesystem::path scratchDir(const std::string& name);
std::vector<uint8_t> fileBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
