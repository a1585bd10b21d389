// The renderer's command line: defaults, both option spellings, and a one-line refusal for each mistake.
#include <gtest/gtest.h>

#include "host/cli/options.h"

using namespace Render;

namespace {

std::string refusal(const std::vector<std::string>& args) {
  try {
    parseOptions(args);
  } catch (const UsageError& e) {
    return e.what();
  }
  return "accepted";
}

}  // namespace

TEST(RenderOptions, DefaultsAndEveryOption) {
  RenderOptions d = parseOptions({"in.mid", "out.wav"});
  EXPECT_EQ(d.input, "in.mid");
  EXPECT_EQ(d.output, "out.wav");
  EXPECT_EQ(d.sampleRate, 44100);
  EXPECT_EQ(d.blockSize, 512);
  EXPECT_EQ(d.format, SampleFormat::Pcm24);
  EXPECT_FALSE(d.tailSeconds.has_value());
  EXPECT_TRUE(d.plugin.empty());

  RenderOptions o = parseOptions(
      {"--rate", "48000",          "--block=64",    "--set",       "cutoff=0.25", "--set=reso=1", "--plugin",
       "p.so",   "--preset=a.fxp", "--save-preset", "b.fxp",       "--tail",      "1.5",          "--format",
       "float",  "--cc",           "74=cutoff",     "--cc=1=Reso", "in.mid",      "--",           "-out.wav"});
  EXPECT_EQ(o.sampleRate, 48000);
  EXPECT_EQ(o.blockSize, 64);
  ASSERT_EQ(o.settings.size(), 2u);
  EXPECT_EQ(o.settings[0].name, "cutoff");
  EXPECT_FLOAT_EQ(o.settings[0].value, 0.25f);
  EXPECT_EQ(o.settings[1].name, "reso");
  EXPECT_FLOAT_EQ(o.settings[1].value, 1.0f);
  EXPECT_EQ(o.plugin, "p.so");
  EXPECT_EQ(o.preset, "a.fxp");
  EXPECT_EQ(o.savePreset, "b.fxp");
  EXPECT_DOUBLE_EQ(*o.tailSeconds, 1.5);
  EXPECT_EQ(o.format, SampleFormat::Float);
  ASSERT_EQ(o.controllers.size(), 2u);
  EXPECT_EQ(o.controllers[0].controller, 74);
  EXPECT_EQ(o.controllers[0].name, "cutoff");
  EXPECT_EQ(o.controllers[1].controller, 1);
  EXPECT_EQ(o.controllers[1].name, "Reso");
  EXPECT_EQ(o.output, "-out.wav");

  EXPECT_TRUE(parseOptions({"in.mid", "--help"}).help);
  EXPECT_TRUE(parseOptions({"--save-preset", "x.fxp"}).input.empty());  // saving alone needs no song
  EXPECT_EQ(parseOptions({"--format", "pcm16", "a", "b"}).format, SampleFormat::Pcm16);
}

TEST(RenderOptions, MistakesAreRefusedInOneLine) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--frobnicate", "a", "b"}, "unknown option \"--frobnicate\" (see --help)"},
      {{"a", "b", "--rate"}, "--rate needs a value"},
      {{"--rate", "44.1k", "a", "b"}, "--rate needs a number, not \"44.1k\""},
      {{"--rate", "100", "a", "b"}, "--rate must be a whole number from 8000 to 384000, not 100"},
      {{"--block", "0", "a", "b"}, "--block must be a whole number from 1 to 8192, not 0"},
      {{"--block", "12.5", "a", "b"}, "--block must be a whole number from 1 to 8192, not 12.5"},
      {{"--set", "cutoff", "a", "b"}, "--set needs NAME=VALUE, not \"cutoff\""},
      {{"--set", "=0.5", "a", "b"}, "--set needs NAME=VALUE, not \"=0.5\""},
      {{"--set", "cutoff=1.5", "a", "b"}, "--set cutoff: value 1.5 is outside 0..1 (values are normalized)"},
      {{"--set", "cutoff=nan", "a", "b"}, "--set cutoff needs a number, not \"nan\""},
      {{"--cc", "74", "a", "b"}, "--cc needs N=NAME, not \"74\""},
      {{"--cc", "=cutoff", "a", "b"}, "--cc needs N=NAME, not \"=cutoff\""},
      {{"--cc", "74=", "a", "b"}, "--cc needs N=NAME, not \"74=\""},
      {{"--cc", "128=cutoff", "a", "b"}, "--cc controller must be a whole number from 0 to 127, not 128"},
      {{"--cc", "-1=cutoff", "a", "b"}, "--cc controller must be a whole number from 0 to 127, not -1"},
      {{"--cc", "mod=cutoff", "a", "b"}, "--cc controller needs a number, not \"mod\""},
      {{"--cc", "74=cutoff", "--cc", "74=reso", "a", "b"}, "--cc 74 is mapped twice (to cutoff and reso)"},
      {{"--format", "mp3", "a", "b"}, "--format must be float, pcm24 or pcm16, not \"mp3\""},
      {{"--tail", "-1", "a", "b"}, "--tail must be from 0 to 3600 seconds, not -1"},
      {{}, "missing INPUT.mid and OUTPUT.wav"},
      {{"a"}, "missing OUTPUT.wav"},
      {{"a", "b", "c"}, "too many arguments: \"c\" (expected INPUT.mid OUTPUT.wav)"},
  };
  for (const auto& [args, message] : cases) EXPECT_EQ(refusal(args), message);
  EXPECT_NE(usageText().find("--save-preset"), std::string::npos);
  EXPECT_NE(usageText().find("--cc N=NAME"), std::string::npos);
}
