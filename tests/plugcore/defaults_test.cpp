// Factory settings and the per-user defaults file, in a temporary config folder.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

#include "recording_host.h"

namespace {

constexpr int32_t key(int controller) { return PlugCore::controllerKeyFor(controller); }

namespace fs = std::filesystem;

class Defaults : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/koralin-config-XXXXXX";
    dir = mkdtemp(pattern);
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  }
  void TearDown() override {
    fs::remove_all(dir);
    unsetenv("XDG_CONFIG_HOME");
  }
  fs::path file() const { return fs::path(dir) / "Quillmarsh" / "TestPlug.defaults"; }
  std::vector<uint8_t> read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  static std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string dir;
};

TEST_F(Defaults, PathFollowsTheConfigFolder) {
  Fake::TestPlug plug;
  EXPECT_EQ(plug.defaultsFilePath(), file().string());
  setenv("XDG_CONFIG_HOME", "", 1);
  setenv("HOME", "/home/somebody", 1);
  EXPECT_EQ(plug.defaultsFilePath(), "/home/somebody/.config/Quillmarsh/TestPlug.defaults");
}

TEST_F(Defaults, SavedDefaultsComeBackInANewInstance) {
  Fake::TestPlug a(1, 3, 3);
  a.setParameter(0, 0.125f);
  a.bind(key(0x4A), 2);
  AEffect* e = a.getAeffect();
  char name[] = "Squelch";
  e->dispatcher(e, effSetProgramName, 0, 0, name, 0);
  a.saveUserDefaults();
  ASSERT_TRUE(fs::exists(file()));
  void* data = nullptr;
  int32_t size = a.getChunk(&data, false);
  EXPECT_EQ(read(file()), std::vector<uint8_t>((uint8_t*)data, (uint8_t*)data + size));  // exactly the bank
  EXPECT_EQ(a.param(0).defaultValue, 0.125f);  // saving makes the current values the defaults

  Fake::TestPlug b(1, 3, 3);
  b.loadFactorySettings();
  b.loadUserDefaults();
  EXPECT_EQ(b.getParameter(0), 0.125f);
  EXPECT_EQ(b.controllerOf(2), key(0x4A));
  EXPECT_STREQ(b.program(0).name, "Squelch");
  b.setParameter(0, 0.9f);
  b.resetParam(0);
  EXPECT_EQ(b.getParameter(0), 0.125f);
}

TEST_F(Defaults, FactorySettingsKeepBindingsAndNames) {
  Fake::TestPlug plug(1, 2, 2);
  plug.setParameter(0, 0.0f);
  plug.bind(key(0x10), 1);
  AEffect* e = plug.getAeffect();
  char name[] = "Keep me";
  e->dispatcher(e, effSetProgramName, 0, 0, name, 0);
  plug.loadFactorySettings();
  EXPECT_EQ(plug.getParameter(0), 0.5f);
  EXPECT_EQ(plug.program(1).snapshot(), std::vector<float>({0.5f, 0.5f}));
  EXPECT_EQ(plug.controllerOf(1), key(0x10));
  EXPECT_STREQ(plug.program(0).name, "Keep me");
}

TEST_F(Defaults, MissingOrOversizedFileIsIgnoredSilently) {
  Fake::BoxRecorder boxes;
  Fake::TestPlug plug(1, 2, 2);
  plug.loadUserDefaults();  // no file
  fs::create_directories(file().parent_path());
  Fake::TestPlug source(1, 2, 2);
  source.setParameter(0, 0.0f);
  void* data = nullptr;
  int32_t size = source.getChunk(&data, false);
  std::vector<char> big((uint8_t*)data, (uint8_t*)data + size);
  big.resize(1048576, 0);  // the bank followed by zero padding: exactly the limit
  std::ofstream(file(), std::ios::binary).write(big.data(), (long)big.size());
  plug.loadUserDefaults();
  EXPECT_EQ(plug.getParameter(0), 0.5f);
  EXPECT_TRUE(boxes.boxes().empty());
  big.resize(1048575);  // one byte less is read: the bank loads (its zero padding reads as records, then a cut one)
  std::ofstream(file(), std::ios::binary | std::ios::trunc).write(big.data(), (long)big.size());
  plug.loadUserDefaults();
  EXPECT_EQ(plug.getParameter(0), 0.0f);
}

TEST_F(Defaults, AFailedSaveLeavesThePreviousFileWholeAndNothingBeside) {
  Fake::TestPlug a(1, 2, 2);
  a.saveUserDefaults();
  std::vector<uint8_t> before = read(file());
  ASSERT_FALSE(before.empty());
  // A disk that takes no more than a few bytes of a file: the write fails part-way.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit tiny = saved;
  tiny.rlim_cur = 16;
  void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
  a.setParameter(0, 1.0f);
  a.saveUserDefaults();
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(read(file()), before);
  EXPECT_EQ(a.param(0).defaultValue, 0.5f);  // the defaults did not move either
  EXPECT_EQ(namesIn(file().parent_path()), std::vector<std::string>{"TestPlug.defaults"});
  a.saveUserDefaults();
  EXPECT_NE(read(file()), before);
}

TEST_F(Defaults, SavesAtOnceNeverMixTheirFiles) {
  // Two instances (two editors, or two hosts) save different defaults at the same moment, again and again: every
  // file another instance reads meanwhile is one of the two, whole.
  Fake::BoxRecorder boxes;  // a cut or mixed file would show "Chunk appears corrupted" on loading
  Fake::TestPlug a(1, 2, 2), b(1, 2, 2), reader(1, 2, 2);
  a.setParameter(0, 0.25f);
  b.setParameter(0, 0.75f);
  a.saveUserDefaults();
  std::atomic<int> saving{2};
  auto saveOften = [&saving](Fake::TestPlug& plug) {
    for (int i = 0; i < 300; ++i) plug.saveUserDefaults();
    --saving;
  };
  std::thread first(saveOften, std::ref(a)), second(saveOften, std::ref(b));
  int reads = 0, strange = 0;
  while (saving > 0) {
    reader.loadUserDefaults();
    const float v = reader.getParameter(0);
    strange += v != 0.25f && v != 0.75f;
    ++reads;
  }
  first.join();
  second.join();
  EXPECT_GT(reads, 0);
  EXPECT_EQ(strange, 0);
  EXPECT_TRUE(boxes.boxes().empty()) << boxes.boxes().front().text;
  EXPECT_EQ(namesIn(file().parent_path()), std::vector<std::string>{"TestPlug.defaults"});
}

}  // namespace
