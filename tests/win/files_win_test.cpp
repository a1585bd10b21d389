// Win32 files under Wine: the application-data folder, folders, whole-file reads and replacing writes.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/files.h"

namespace {

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The plain files of a folder, by name, sorted: what a write left behind.
std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

// A fresh folder under the user's temporary folder, removed with its files afterwards.
class Win32Files : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH] = {};
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    folder = std::string(temp) + "koralin-files-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(Platform::createFolder(folder));
  }
  void TearDown() override {
    for (const char* name : {"\\a.bin", "\\a.bin.tmp", "\\big.bin", "\\sub\\x.bin"})
      DeleteFileA((folder + name).c_str());
    RemoveDirectoryA((folder + "\\sub").c_str());
    RemoveDirectoryA(folder.c_str());
  }
  std::string folder;
};

TEST_F(Win32Files, AppDataIsTheShellsRoamingFolderAndExists) {
  char expected[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, expected), S_OK);
  EXPECT_EQ(Platform::appDataFolder(), expected);
  EXPECT_TRUE(exists(Platform::appDataFolder()));
  EXPECT_EQ(Platform::pathSeparator(), '\\');
}

TEST_F(Win32Files, FoldersAreCreatedOnceAndAFileInTheWayIsAFailure) {
  EXPECT_TRUE(Platform::createFolder(folder + "\\sub"));
  EXPECT_TRUE(Platform::createFolder(folder + "\\sub"));  // existing is fine
  EXPECT_FALSE(Platform::createFolder(folder + "\\missing\\deeper"));
  ASSERT_TRUE(Platform::writeFileReplacing(folder + "\\a.bin", "x", 1));
  EXPECT_FALSE(Platform::createFolder(folder + "\\a.bin"));
}

TEST_F(Win32Files, WritesReplaceWholeFilesAndLeaveNoTemporaryBehind) {
  const std::string path = folder + "\\a.bin";
  const std::vector<unsigned char> first(5000, 0xAB), second = {1, 2, 3};
  ASSERT_TRUE(Platform::writeFileReplacing(path, first.data(), first.size()));
  ASSERT_TRUE(Platform::writeFileReplacing(path, second.data(), second.size()));
  std::vector<unsigned char> read;
  ASSERT_EQ(Platform::readWholeFile(path, 1048576, read), Platform::ReadResult::Ok);
  EXPECT_EQ(read, second);
  EXPECT_EQ(filesIn(folder), std::vector<std::string>{"a.bin"}) << "a temporary file was left behind";
  ASSERT_TRUE(Platform::writeFileReplacing(path, nullptr, 0));
  ASSERT_EQ(Platform::readWholeFile(path, 1048576, read), Platform::ReadResult::Ok);
  EXPECT_TRUE(read.empty());
}

TEST_F(Win32Files, AFailedReplaceKeepsTheOldFile) {
  const std::string path = folder + "\\a.bin";
  const unsigned char old[] = {7, 7, 7};
  ASSERT_TRUE(Platform::writeFileReplacing(path, old, sizeof(old)));
  // Someone holds the file open without sharing delete: the move over it must fail, not truncate it.
  HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  const unsigned char replacement[] = {1, 2, 3, 4};
  EXPECT_FALSE(Platform::writeFileReplacing(path, replacement, sizeof(replacement)));
  CloseHandle(holder);
  std::vector<unsigned char> read;
  ASSERT_EQ(Platform::readWholeFile(path, 1048576, read), Platform::ReadResult::Ok);
  EXPECT_EQ(read, std::vector<unsigned char>(old, old + 3));
  EXPECT_EQ(filesIn(folder), std::vector<std::string>{"a.bin"}) << "a temporary file was left behind";
  EXPECT_FALSE(Platform::writeFileReplacing(folder + "\\missing\\x.bin", old, sizeof(old)));
}

TEST_F(Win32Files, ReadsStopAtTheSizeLimitAndTellMissingFromTooLarge) {
  const std::string path = folder + "\\big.bin";
  const std::vector<unsigned char> bytes(1048576, 0x5A);
  ASSERT_TRUE(Platform::writeFileReplacing(path, bytes.data(), bytes.size()));
  std::vector<unsigned char> read;
  EXPECT_EQ(Platform::readWholeFile(path, 1048576, read), Platform::ReadResult::TooLarge);
  EXPECT_EQ(Platform::readWholeFile(path, 1048577, read), Platform::ReadResult::Ok);
  EXPECT_EQ(read.size(), bytes.size());
  EXPECT_EQ(Platform::readWholeFile(folder + "\\none.bin", 1048576, read), Platform::ReadResult::Missing);
  // Another reader does not keep us out.
  HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(Platform::readWholeFile(path, 1048577, read), Platform::ReadResult::Ok);
  CloseHandle(reader);
}

}  // namespace
