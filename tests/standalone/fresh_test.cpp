// The layer's start without the user's defaults, which --fresh asks for: while the defaults file holds other values,
// programs and a learnt controller, the instance's state is to the byte that of an instance whose user never saved
// defaults; its editor's menu still reads the file.
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

TEST(StandaloneFresh, WithoutUserDefaultsTheStateIsTheFactorysAndTheMenuStillLoadsThem) {
  const std::string folder = testing::TempDir() + "fresh-" + std::to_string(getpid());
  // Each test runs in a process of its own under ctest, so the config folder is this test's.
  setenv("XDG_CONFIG_HOME", (folder + "/none").c_str(), 1);
  const std::vector<uint8_t> never = Embed::Instance::create("Koralin test host")->saveState();
  setenv("XDG_CONFIG_HOME", (folder + "/saved").c_str(), 1);
  {
    auto mine = Embed::Instance::create("Koralin test host");
    ASSERT_TRUE(mine);
    mine->selectProgram(3);
    mine->setParameter(kCutoff, 0.125f);
    plugOf(*mine).bind(PlugCore::controllerKeyFor(74), kReso);  // controller 74 learnt for the resonance
    plugOf(*mine).saveUserDefaults();
  }
  auto withDefaults = Embed::Instance::create("Koralin test host");
  Embed::Instance::StartOptions fresh;
  fresh.userDefaults = false;
  auto factory = Embed::Instance::create("Koralin test host", nullptr, fresh);
  ASSERT_TRUE(withDefaults && factory);
  EXPECT_EQ(withDefaults->parameter(kCutoff), 0.125f);
  EXPECT_EQ(plugOf(*withDefaults).controllerOf(kReso), PlugCore::controllerKeyFor(74));
  EXPECT_EQ(factory->saveState(), never);
  plugOf(*factory).resetParam(kCutoff);
  EXPECT_EQ(factory->parameter(kCutoff), 0.5f) << "reset goes to the product's default, not the file's";
  plugOf(*factory).loadUserDefaults();
  EXPECT_EQ(factory->saveState(), withDefaults->saveState());
  std::filesystem::remove_all(folder);
}

}  // namespace
