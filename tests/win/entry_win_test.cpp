// The entry point's Windows paths under Wine: the SSE2 refusal through the box seam, and the defaults file in the
// Wine user's application-data folder.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/system.h"
#include "plugcore/factory.h"
#include "plugcore/plug.h"

namespace {

struct BoxCall {
  Platform::BoxKind kind;
  std::string caption, text;
};
std::vector<BoxCall> g_boxes;

bool recordBox(Platform::BoxKind kind, const char* caption, const char* text) {
  g_boxes.push_back({kind, caption, text});
  return false;
}

intptr_t VSTCALLBACK hostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

PlugCore::Plug* plugOf(AEffect* effect) {
  return effect ? dynamic_cast<PlugCore::Plug*>(static_cast<AudioEffect*>(effect->object)) : nullptr;
}

void closeEffect(AEffect* effect) {
  if (effect) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

std::string expectedDefaultsPath() {
  char folder[MAX_PATH] = {};
  if (SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK) return {};
  return std::string(folder) + "\\Quillmarsh\\Koralin.defaults";
}

class WinEntry : public ::testing::Test {
 protected:
  void SetUp() override {
    g_boxes.clear();
    Platform::setMessageBoxSeam(recordBox);
    DeleteFileA(expectedDefaultsPath().c_str());
    // Tests that plant a file of their own need the folder, whatever ran before them in this prefix.
    ASSERT_TRUE(Platform::createFolder(Platform::appDataFolder() + "\\Quillmarsh"));
  }
  void TearDown() override {
    Platform::forceNoSse2(false);
    Platform::setMessageBoxSeam(nullptr);
    DeleteFileA(expectedDefaultsPath().c_str());
  }
};

TEST_F(WinEntry, WithoutSse2TheUserIsToldAndAStandByPlugInAnswers) {
  Platform::forceNoSse2(true);
  AEffect* effect = PlugCore::pluginEntry(hostCallback);
  ASSERT_NE(effect, nullptr);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].kind, Platform::BoxKind::Error);
  EXPECT_EQ(g_boxes[0].caption, "Error");
  EXPECT_EQ(g_boxes[0].text,
            "This plugin requires SSE2, which your CPU doesn't support.\n"
            "Unfortunately you will need a more recent system. Sorry.");
  EXPECT_EQ(effect->numParams, 1);
  EXPECT_EQ(effect->flags & effFlagsIsSynth, 0);
  closeEffect(effect);
}

// The objects carry SSE state and buffers: 16-byte alignment even where malloc gives 8 (32-bit Windows).
TEST_F(WinEntry, BothObjectsAreSixteenByteAligned) {
  for (bool sse2 : {false, true}) {
    Platform::forceNoSse2(!sse2);
    std::vector<AEffect*> effects;
    for (int i = 0; i < 8; ++i) effects.push_back(PlugCore::pluginEntry(hostCallback));
    for (AEffect* effect : effects) {
      ASSERT_NE(plugOf(effect), nullptr);
      EXPECT_EQ(reinterpret_cast<uintptr_t>(plugOf(effect)) % 16, 0u) << (sse2 ? "instrument" : "stand-by");
      closeEffect(effect);
    }
  }
}

TEST_F(WinEntry, WithSse2TheInstrumentIsMadeSilently) {
  AEffect* effect = PlugCore::pluginEntry(hostCallback);
  ASSERT_NE(effect, nullptr);
  EXPECT_TRUE(g_boxes.empty());
  EXPECT_EQ(effect->uniqueID, vstFourCC('k', 'm', 'P', 'x'));
  EXPECT_EQ(effect->numParams, 7);
  EXPECT_NE(effect->flags & effFlagsIsSynth, 0);
  closeEffect(effect);
}

TEST_F(WinEntry, DefaultsAreSavedInTheUsersApplicationDataAndLoadedByTheNextInstance) {
  const std::string path = expectedDefaultsPath();
  ASSERT_FALSE(path.empty());
  const std::string folder = Platform::appDataFolder() + "\\Quillmarsh";
  ASSERT_TRUE(RemoveDirectoryA(folder.c_str()));  // saving makes the folder itself
  AEffect* first = PlugCore::pluginEntry(hostCallback);
  PlugCore::Plug* plug = plugOf(first);
  ASSERT_NE(plug, nullptr);
  EXPECT_EQ(plug->defaultsFilePath(), path);
  first->setParameter(first, 2, 0.25f);
  plug->saveUserDefaults();
  EXPECT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
  // Nothing but the defaults file: the temporary one it was written as is gone.
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((folder + "\\*.*").c_str(), &found);
  int files = 0;
  if (search != INVALID_HANDLE_VALUE) {
    do {
      files += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  EXPECT_EQ(files, 1);
  closeEffect(first);

  AEffect* second = PlugCore::pluginEntry(hostCallback);
  ASSERT_NE(second, nullptr);
  EXPECT_FLOAT_EQ(second->getParameter(second, 2), 0.25f);
  closeEffect(second);
  EXPECT_TRUE(g_boxes.empty());
}

TEST_F(WinEntry, ADefaultsFileOfOneMebibyteIsIgnoredWithoutAMessage) {
  AEffect* plain = PlugCore::pluginEntry(hostCallback);
  ASSERT_NE(plain, nullptr);
  const float productDefault = plain->getParameter(plain, 2);
  closeEffect(plain);
  const std::vector<unsigned char> junk(1048576, 0x41);
  ASSERT_TRUE(Platform::writeFileReplacing(expectedDefaultsPath(), junk.data(), junk.size()));
  AEffect* effect = PlugCore::pluginEntry(hostCallback);
  ASSERT_NE(effect, nullptr);
  EXPECT_TRUE(g_boxes.empty());
  EXPECT_EQ(effect->getParameter(effect, 2), productDefault);
  closeEffect(effect);
}

TEST_F(WinEntry, ABrokenDefaultsFileIsReportedThroughTheSeam) {
  const unsigned char junk[] = {'n', 'o', 't', ' ', 'a', ' ', 'c', 'h', 'u', 'n', 'k'};
  ASSERT_TRUE(Platform::writeFileReplacing(expectedDefaultsPath(), junk, sizeof(junk)));
  AEffect* effect = PlugCore::pluginEntry(hostCallback);
  ASSERT_NE(effect, nullptr);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].kind, Platform::BoxKind::Error);
  EXPECT_EQ(g_boxes[0].caption, "Koralin error");
  closeEffect(effect);
}

}  // namespace
