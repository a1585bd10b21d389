// koralin's command line as a person meets it: every error is one line on stderr with status 2, before anything
// starts, and a state file it could not read is left as it was.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "child.h"

namespace StandaloneTest {
namespace {

TEST(StandaloneCommandLine, EveryErrorIsOneLineWithStatusTwo) {
  const std::filesystem::path dir = std::filesystem::path(SCRATCH_DIR) / "cli";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "config");
  const std::string damaged = (dir / "damaged.state").string();
  std::ofstream(damaged) << "not a state";
  const std::vector<std::string> env = {"JACK_DEFAULT_SERVER=koralin-absent-" + std::to_string(getpid()),
                                        "XDG_CONFIG_HOME=" + (dir / "config").string()};
  const struct {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"--volume"}, "unknown option \"--volume\""},
      {{"--program"}, "--program needs a value"},
      {{"--no-gui=yes"}, "--no-gui takes no value"},
      {{"song.mid"}, "takes no file"},
      {{"--program", "Acid Rain", "--no-gui"}, "no program \"Acid Rain\" (there are 1 Neutral Start, 2 Squelch Saw"},
      {{"--program", "9", "--no-gui"}, "no program \"9\""},
      {{"--state", dir.string(), "--no-gui"}, "it is a folder"},
      {{"--state", damaged, "--no-gui"}, "Invalid header"},
      {{"--no-gui", "--program", "hard acid"}, "no JACK server is running: start one (jackd"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> argv = {KORALIN_EXE};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    Child koralin(argv, env);
    EXPECT_EQ(koralin.wait(), 2) << c.args[0];
    EXPECT_EQ(koralin.out(), "");
    EXPECT_EQ(std::count(koralin.err().begin(), koralin.err().end(), '\n'), 1) << koralin.err();
    EXPECT_EQ(koralin.err().rfind("koralin: ", 0), 0u) << koralin.err();
    EXPECT_NE(koralin.err().find(c.says), std::string::npos) << koralin.err();
  }
  std::string kept;
  std::getline(std::ifstream(damaged), kept);
  EXPECT_EQ(kept, "not a state");
  EXPECT_FALSE(std::filesystem::exists(dir / "config/Quillmarsh/Koralin.state")) << "nothing ran, nothing is saved";

  Child help({KORALIN_EXE, "--help"}, env);
  EXPECT_EQ(help.wait(), 0);
  EXPECT_NE(help.out().find("Usage: koralin [options]"), std::string::npos);
}

}  // namespace
}  // namespace StandaloneTest
