// koralin-render as a user runs it: the demo through Koralin, formats, presets, and every kind of failure.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>

#include "host/lib/fx_preset.h"
#include "host/lib/midi_writer.h"
#include "tests/cli/cli_run.h"
#include "tools/factory_bank/factory_programs.h"

namespace fs = std::filesystem;

namespace {

const std::string kDemo = KORALIN_SOURCE_DIR "/examples/acid.mid";

struct Wav {
  SF_INFO info{};
  std::vector<float> samples;  // interleaved
};

Wav readWav(const fs::path& path) {
  Wav wav;
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &wav.info);
  EXPECT_NE(f, nullptr) << sf_strerror(nullptr);
  if (!f) return wav;
  wav.samples.resize((size_t)(wav.info.frames * wav.info.channels));
  EXPECT_EQ(sf_readf_float(f, wav.samples.data(), wav.info.frames), wav.info.frames);
  sf_close(f);
  return wav;
}

// How bright a stretch of the left channel is: the first difference's energy against the signal's, which grows
// with the share of high frequencies.
double brightness(const Wav& wav, sf_count_t from, sf_count_t to) {
  double energy = 0, edges = 0;
  for (sf_count_t i = from + 1; i < to; ++i) {
    double x = wav.samples[(size_t)i * 2], step = x - wav.samples[(size_t)(i - 1) * 2];
    energy += x * x;
    edges += step * step;
  }
  return std::sqrt(edges / std::max(energy, 1e-12));
}

float peakOf(const Wav& wav) {
  float peak = 0;
  for (float x : wav.samples) peak = std::max(peak, std::fabs(x));
  return peak;
}

}  // namespace

TEST(RenderCli, RendersTheDemoThroughKoralin) {
  fs::path dir = scratchDir("demo");
  CliResult r = runRenderer({kDemo, (dir / "acid.wav").string()});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("Rendered "), std::string::npos) << r.output;
  EXPECT_NE(r.output.find((dir / "acid.wav").string()), std::string::npos);
  Wav wav = readWav(dir / "acid.wav");
  EXPECT_EQ(wav.info.samplerate, 44100);
  EXPECT_EQ(wav.info.channels, 2);
  EXPECT_EQ(wav.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
  // Four bars at 125 BPM end at 7.68 s; the last note stops a little before, the silent tail runs on.
  EXPECT_GE(wav.info.frames, (sf_count_t)(7.6 * 44100));
  EXPECT_LE(wav.info.frames, (sf_count_t)(17.7 * 44100));
  // The instrument sounds: well above the -90 dBFS floor, below full scale.
  EXPECT_GT(peakOf(wav), 0.01f);
  EXPECT_LE(peakOf(wav), 1.0f);
}

TEST(RenderCli, SampleRateAndFormatOptions) {
  fs::path dir = scratchDir("formats");
  CliResult r = runRenderer(
      {"--rate", "48000", "--format", "float", "--tail", "0.5", "--block", "100", kDemo, (dir / "f.wav").string()});
  ASSERT_EQ(r.status, 0) << r.output;
  Wav wav = readWav(dir / "f.wav");
  EXPECT_EQ(wav.info.samplerate, 48000);
  EXPECT_EQ(wav.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  r = runRenderer({"--format=pcm16", "--tail=0", kDemo, (dir / "s.wav").string()});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(readWav(dir / "s.wav").info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
}

TEST(RenderCli, EventsReachAnyPluginOnTheirSamples) {
  fs::path dir = scratchDir("probe");
  Host::MidiTrackWriter t;
  t.tempo(0, 600000);        // 100 BPM: a quarter is 26460 samples
  t.noteOn(96, 0, 50, 100);  // one quarter at 96 ticks
  t.noteOff(1, 0, 50);       // 1/96 quarter later: 275.625 -> 26736
  t.endOfTrack();
  writeBytes(dir / "p.mid", Host::writeMidiFile(0, 96, {t}));
  CliResult r = runRenderer({"--plugin", KORALIN_PROBE_PLUGIN, "--format", "float", "--block", "100", "--tail", "0.01",
                             (dir / "p.mid").string(), (dir / "p.wav").string()});
  ASSERT_EQ(r.status, 0) << r.output;
  Wav wav = readWav(dir / "p.wav");
  ASSERT_EQ(wav.info.frames, 26736 + 441);
  for (sf_count_t i = 0; i < wav.info.frames; ++i) {
    float left = wav.samples[(size_t)i * 2];
    float expected = i == 26460 ? 50.f : i == 26736 ? -50.f : 0.f;
    ASSERT_EQ(left, expected) << "frame " << i;
  }
  // In an integer format the marks (far above full scale) clip instead of wrapping around.
  r = runRenderer({"--plugin", KORALIN_PROBE_PLUGIN, "--format", "pcm16", "--tail", "0.01", (dir / "p.mid").string(),
                   (dir / "c.wav").string()});
  ASSERT_EQ(r.status, 0) << r.output;
  wav = readWav(dir / "c.wav");
  EXPECT_GT(wav.samples[26460 * 2], 0.999f);
  EXPECT_EQ(wav.samples[26736 * 2], -1.0f);
  EXPECT_NE(r.output.find("peak 34.0 dBFS"), std::string::npos) << r.output;
}

TEST(RenderCli, MappedControllersMoveParametersOnTheirSamples) {
  fs::path dir = scratchDir("cc");
  Host::MidiTrackWriter t;
  t.channel(100, 0xB2, 20, 127);  // 100 ticks at 120 BPM, 480 a quarter: 4593.75 -> 4594
  t.channel(1, 0xB0, 7, 5);       // unmapped, stays MIDI: 4640
  t.channel(99, 0xB0, 20, 0);     // 9187.5 -> 9188
  t.endOfTrack();
  writeBytes(dir / "cc.mid", Host::writeMidiFile(0, 480, {t}));
  CliResult r = runRenderer({"--plugin", KORALIN_PROBE_PLUGIN, "--cc", "20=hum", "--format", "float", "--block", "1000",
                             "--tail", "0.01", (dir / "cc.mid").string(), (dir / "cc.wav").string()});
  ASSERT_EQ(r.status, 0) << r.output;
  Wav wav = readWav(dir / "cc.wav");
  ASSERT_EQ(wav.info.frames, 9188 + 441);
  for (sf_count_t i = 0; i < wav.info.frames; ++i) {
    float expected = (i >= 4594 && i < 9188 ? 1.f : 0.f) + (i == 4640 ? 1007.f : 0.f);
    ASSERT_EQ(wav.samples[(size_t)i * 2], expected) << "frame " << i;
  }
}

TEST(RenderCli, TheDemoFilterMovesWithItsKnobs) {
  fs::path dir = scratchDir("knobs");
  const std::vector<std::string> common = {"--set",    "wave=0", "--set",  "envmod=0.7",
                                           "--format", "float",  "--tail", "0"};
  auto render = [&](std::vector<std::string> args, const std::string& name) {
    args.insert(args.end(), common.begin(), common.end());
    args.insert(args.end(), {kDemo, (dir / name).string()});
    CliResult r = runRenderer(args);
    EXPECT_EQ(r.status, 0) << r.output;
    return readWav(dir / name);
  };
  Wav moving = render({"--cc", "74=cutoff", "--cc", "71=reso"}, "moving.wav");
  Wav still = render({}, "still.wav");
  ASSERT_EQ(moving.info.frames, still.info.frames);
  float largest = 0;
  for (size_t i = 0; i < moving.samples.size(); ++i)
    largest = std::max(largest, std::fabs(moving.samples[i] - still.samples[i]));
  EXPECT_GT(largest, 0.05f);
  // The cutoff closes in the second bar and opens widest in the last; left alone the bars sound alike.
  const sf_count_t bar = 2 * 42336;  // 1.92 s at 44100 Hz
  auto bars = [&](const Wav& w) {
    std::vector<double> b;
    for (sf_count_t i = 0; i < 4; ++i) b.push_back(brightness(w, i * bar, std::min((i + 1) * bar, w.info.frames)));
    return b;
  };
  std::vector<double> m = bars(moving), s = bars(still);
  EXPECT_LT(m[1], 0.8 * m[0]) << m[0] << " " << m[1];
  EXPECT_GT(m[3], 1.5 * m[1]) << m[1] << " " << m[3];
  EXPECT_LT(*std::max_element(s.begin(), s.end()), 1.3 * *std::min_element(s.begin(), s.end()));
}

TEST(RenderCli, PresetsRoundTripThroughThePlugin) {
  fs::path dir = scratchDir("presets");
  std::string a = (dir / "a.fxp").string(), b = (dir / "b.fxp").string(), c = (dir / "c.fxp").string();
  CliResult r = runRenderer({"--set", "cutoff=0.25", "--set", "RESO=0.75", "--save-preset", a});
  ASSERT_EQ(r.status, 0) << r.output;
  Host::PresetFile saved = Host::readPresetFile(fileBytes(a));
  EXPECT_EQ(saved.kind, Host::PresetKind::Program);
  EXPECT_EQ(Host::fourCCText(saved.fxID), "kmPx");
  ASSERT_EQ(runRenderer({"--preset", a, "--save-preset", b}).status, 0);
  EXPECT_EQ(fileBytes(a), fileBytes(b));
  // The bare chunk and a bank around it load the same state.
  writeBytes(dir / "raw.bin", saved.chunk);
  ASSERT_EQ(runRenderer({"--preset", (dir / "raw.bin").string(), "--save-preset", c}).status, 0);
  EXPECT_EQ(fileBytes(a), fileBytes(c));
  writeBytes(dir / "bank.fxb", Host::writeBankFile(saved.fxID, 1, 8, 0, saved.chunk));
  ASSERT_EQ(runRenderer({"--preset", (dir / "bank.fxb").string(), "--save-preset", c}).status, 0);
  EXPECT_EQ(fileBytes(a), fileBytes(c));
  // Changing a value changes the file.
  ASSERT_EQ(runRenderer({"--preset", a, "--set", "cutoff=0.5", "--save-preset", c}).status, 0);
  EXPECT_NE(fileBytes(a), fileBytes(c));
}

TEST(RenderCli, FactoryProgramsAreChosenByNumberOrNameAndListed) {
  const std::vector<bank::Program> programs =
      bank::readProgramsFile(KORALIN_SOURCE_DIR "/resources/factory_programs.txt");
  ASSERT_EQ(programs.size(), 8u);
  // The list shows every program in the host's order with the current one marked, and renders nothing.
  CliResult r = runRenderer({"--list"});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output.rfind("Parameters:\n  wave    ", 0), 0u) << r.output;
  EXPECT_NE(r.output.find("*  1  " + programs[0].name + "\n"), std::string::npos) << r.output;
  for (size_t p = 1; p < programs.size(); ++p)
    EXPECT_NE(r.output.find("\n   " + std::to_string(p + 1) + "  " + programs[p].name + "\n"), std::string::npos)
        << r.output;
  EXPECT_EQ(r.output.find("Rendered"), std::string::npos);

  // A name in any case picks the same program as its number; --set changes a value after it.
  const bank::Program& seventh = programs[6];
  std::string shouted = seventh.name;
  for (char& c : shouted) c = (char)std::toupper((unsigned char)c);
  r = runRenderer({"--program", shouted, "--set", "cutoff=0.25", "--list"});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("*  7  " + seventh.name + "\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("\n  cutoff  25%\n"), std::string::npos) << r.output;

  fs::path dir = scratchDir("programs");
  auto saved = [&](const std::string& program, const std::string& file) {
    EXPECT_EQ(runRenderer({"--program", program, "--save-preset", (dir / file).string()}).status, 0);
    return fileBytes(dir / file);
  };
  EXPECT_EQ(saved("7", "by_number.fxp"), saved(seventh.name, "by_name.fxp"));
  EXPECT_NE(saved("7", "by_number.fxp"), saved("8", "eighth.fxp"));

  // The demo played with a program is not the demo played as the instrument starts.
  auto render = [&](std::vector<std::string> args, const std::string& name) {
    args.insert(args.end(), {"--format", "float", "--tail", "0", kDemo, (dir / name).string()});
    EXPECT_EQ(runRenderer(args).status, 0);
    return readWav(dir / name);
  };
  Wav first = render({}, "first.wav"), acid = render({"--program", "7"}, "seventh.wav");
  ASSERT_EQ(first.info.frames, acid.info.frames);
  EXPECT_NE(first.samples, acid.samples);
  EXPECT_GT(peakOf(acid), 0.1f);
  EXPECT_LT(peakOf(acid), 1.0f);

  r = runRenderer({"--program", "9", "--list"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.output.find("no program \"9\" (it has: 1 " + programs[0].name + ", 2 "), std::string::npos) << r.output;
}

TEST(RenderCli, UsageErrorsExitWithTwo) {
  fs::path dir = scratchDir("usage");
  std::string out = (dir / "x.wav").string();
  CliResult r = runRenderer({"--set", "nosuch=0.5", kDemo, out});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.output.find("no parameter \"nosuch\""), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("cutoff"), std::string::npos) << r.output;
  EXPECT_FALSE(fs::exists(out));
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{},
                                             {"--rate", "1", kDemo, out},
                                             {"--bogus", kDemo, out},
                                             {"--format", "ogg", kDemo, out},
                                             {"--cc", "74=nosuch", kDemo, out},
                                             {"--cc", "128=cutoff", kDemo, out},
                                             {"--cc", "74", kDemo, out},
                                             {"--program", "9", kDemo, out},
                                             {"--program", "no such program", kDemo, out}}) {
    r = runRenderer(args);
    EXPECT_EQ(r.status, 2) << r.output;
    EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << r.output;
    EXPECT_EQ(r.output.rfind("koralin-render: ", 0), 0u) << r.output;
  }
  r = runRenderer({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.output.find("--tail SECONDS"), std::string::npos);
}

TEST(RenderCli, RuntimeFailuresExitWithOne) {
  fs::path dir = scratchDir("failures");
  std::string out = (dir / "x.wav").string();
  writeBytes(dir / "bad.mid", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 3, 0, 1, 0, 96});
  CliResult r = runRenderer({(dir / "bad.mid").string(), out});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("bad.mid: MIDI file format 3 is not supported (only 0 and 1) at byte offset 8"),
            std::string::npos)
      << r.output;
  EXPECT_FALSE(fs::exists(out));

  r = runRenderer({(dir / "missing.mid").string(), out});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("cannot open"), std::string::npos) << r.output;

  r = runRenderer({"--plugin", (dir / "none.so").string(), kDemo, out});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("cannot load"), std::string::npos) << r.output;

  r = runRenderer({kDemo, (dir / "no" / "such" / "dir.wav").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("cannot write"), std::string::npos) << r.output;

  // A program saved for another plug-in is refused before it reaches Koralin.
  writeBytes(dir / "other.fxp", Host::writeProgramFile(0x70724265, 1, 2, "x", std::vector<uint8_t>(8, 0)));
  r = runRenderer({"--preset", (dir / "other.fxp").string(), kDemo, out});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("the preset is for plug-in ID 'prBe', this plug-in is 'kmPx'"), std::string::npos)
      << r.output;
  writeBytes(dir / "cut.fxp", {'C', 'c', 'n', 'K', 0, 0, 0, 50, 'F', 'P', 'C', 'h'});
  r = runRenderer({"--preset", (dir / "cut.fxp").string(), kDemo, out});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("cut.fxp: header declares 50 bytes but the file holds 4 at byte offset 4"), std::string::npos)
      << r.output;
  EXPECT_FALSE(fs::exists(out));
}
