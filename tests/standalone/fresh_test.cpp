// The layer's start without the user's defaults, which --fresh asks for: the instance has the factory's state while
// the defaults file holds another, and its editor's menu still reads that file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "plugcore/plug.h"
#include "plugin/embed/instance.h"

namespace {

PlugCore::Plug& plugOf(Embed::Instance& instance) {
  return *static_cast<PlugCore::Plug*>(static_cast<AudioEffect*>(instance.effect()->object));
}

TEST(StandaloneFresh, WithoutUserDefaultsAnInstanceStartsFromTheFactoryAndCanStillLoadThem) {
  const std::string config = testing::TempDir() + "fresh-config-" + std::to_string(getpid());
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);  // this test's own: ctest runs each test in a process of its own
  {
    auto mine = Embed::Instance::create("Koralin test host");
    ASSERT_TRUE(mine);
    mine->selectProgram(3);
    mine->setParameter(kCutoff, 0.125f);
    plugOf(*mine).saveUserDefaults();
  }
  auto withDefaults = Embed::Instance::create("Koralin test host");
  Embed::Instance::StartOptions fresh;
  fresh.userDefaults = false;
  auto factory = Embed::Instance::create("Koralin test host", nullptr, fresh);
  ASSERT_TRUE(withDefaults && factory);
  EXPECT_EQ(withDefaults->parameter(kCutoff), 0.125f);
  EXPECT_EQ(withDefaults->currentProgram(), 3);
  EXPECT_EQ(factory->parameter(kCutoff), 0.5f) << "the first factory program's cutoff";
  EXPECT_EQ(factory->currentProgram(), 0);
  plugOf(*factory).loadUserDefaults();
  EXPECT_EQ(factory->parameter(kCutoff), 0.125f);
  std::filesystem::remove_all(config);
}

}  // namespace
