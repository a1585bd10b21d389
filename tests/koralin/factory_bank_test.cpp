// The factory programs as a host meets them in the built module: the embedded bank read back against its text,
// each program chosen by a MIDI program change, and each one heard.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "host/lib/plugin_host.h"
#include "tools/factory_bank/factory_programs.h"

namespace {

std::vector<bank::Program> textPrograms() {
  return bank::readProgramsFile(KORALIN_SOURCE_DIR "/resources/factory_programs.txt");
}

std::string programName(Host::PluginHost& host, int32_t index) {
  char name[kVstMaxProgNameLen + 1] = {};
  EXPECT_EQ(host.dispatch(effGetProgramNameIndexed, index, 0, name), 1) << index;
  return name;
}

// The values the plug-in holds now against the program's, each as the stored step the bank carries.
void expectValuesOf(Host::PluginHost& host, const bank::Program& program) {
  for (int32_t i = 0; i < bank::kParamCount; ++i)
    EXPECT_EQ(host.getParameter(i), (float)program.steps[(size_t)i] / 64000.0f)
        << program.name << ": " << bank::kParamNames[i];
}

// Plays a held note, an accented one and a slide into a third, at the current settings.
std::vector<float> playPhrase(Host::PluginHost& host) {
  std::vector<float> out, left, right;
  // clang-format off
  const std::vector<std::vector<Host::MidiMessage>> blocks = {
      {{0, 0x90, 36, 90}}, {}, {}, {{0, 0x80, 36, 0}, {10, 0x90, 43, 120}}, {}, {{0, 0x90, 31, 90}},
      {{0, 0x80, 43, 0}},  {}, {{0, 0x80, 31, 0}}, {}};
  // clang-format on
  for (const auto& events : blocks) {
    host.sendMidi(events);
    for (int part = 0; part < 8; ++part) {
      host.renderFloat(left, right, 512);
      out.insert(out.end(), left.begin(), left.end());
    }
  }
  return out;
}

double rms(const std::vector<float>& x) {
  double sum = 0;
  for (float v : x) sum += (double)v * v;
  return std::sqrt(sum / (double)x.size());
}

// How far apart two renders sound, in dB: block by block, the difference of their loudness plus the difference of
// their brightness (the first difference's energy against the signal's), averaged over the blocks where either is
// above -60 dBFS. Sample-wise differences would not do: the resonant filter turns a nudge of one knob into a large
// difference of phase that the ear does not hear.
double soundDistance(const std::vector<float>& a, const std::vector<float>& b) {
  constexpr size_t kBlock = 1024;
  double sum = 0;
  int blocks = 0;
  for (size_t at = 1; at + kBlock <= std::min(a.size(), b.size()); at += kBlock) {
    double ea = 1e-12, eb = 1e-12, da = 1e-15, db = 1e-15;
    for (size_t i = at; i < at + kBlock; ++i) {
      ea += (double)a[i] * a[i];
      eb += (double)b[i] * b[i];
      da += std::pow((double)a[i] - a[i - 1], 2);
      db += std::pow((double)b[i] - b[i - 1], 2);
    }
    if (std::max(ea, eb) < 1e-6 * kBlock) continue;
    sum += std::fabs(10 * std::log10(ea / eb)) + std::fabs(10 * std::log10((da / ea) / (db / eb)));
    ++blocks;
  }
  return blocks ? sum / blocks : 0;
}

TEST(FactoryBank, TheModuleHoldsTheProgramsOfTheTextAndStartsWithTheFirst) {
  const std::vector<bank::Program> programs = textPrograms();
  Host::PluginHost host(KORALIN_MODULE);
  ASSERT_EQ(host.effect()->numPrograms, (int32_t)programs.size());
  EXPECT_EQ(host.dispatch(effGetProgram), 0);
  expectValuesOf(host, programs[0]);
  for (int32_t p = 0; p < (int32_t)programs.size(); ++p) EXPECT_EQ(programName(host, p), programs[(size_t)p].name);
  // The host's own program choice reaches the same values.
  for (int32_t p = (int32_t)programs.size() - 1; p >= 0; --p) {
    host.dispatch(effSetProgram, 0, p);
    EXPECT_EQ(host.text(effGetProgramName), programs[(size_t)p].name);
    expectValuesOf(host, programs[(size_t)p]);
  }
}

TEST(FactoryBank, AMidiProgramChangeSelectsEachProgramAndEachSoundsItsOwn) {
  const std::vector<bank::Program> programs = textPrograms();
  std::vector<std::vector<float>> phrases;
  for (int32_t p = 0; p < (int32_t)programs.size(); ++p) {
    // A fresh instance for each: the oscillator's drift then runs the same course and only the program differs.
    Host::PluginHost host(KORALIN_MODULE);
    host.start(44100.0f, 512);
    host.sendMidi({{0, 0xC0, (uint8_t)((p + 3) % 8), 0}, {0, 0xC0, (uint8_t)p, 0}});  // the last change wins
    std::vector<float> left, right;
    host.renderFloat(left, right, 64);
    EXPECT_EQ(host.dispatch(effGetProgram), p);
    EXPECT_EQ(host.text(effGetProgramName), programs[(size_t)p].name);
    expectValuesOf(host, programs[(size_t)p]);
    phrases.push_back(playPhrase(host));
  }
  for (size_t p = 0; p < phrases.size(); ++p) {
    const std::vector<float>& x = phrases[p];
    const float peak = std::max(*std::max_element(x.begin(), x.end()), -*std::min_element(x.begin(), x.end()));
    EXPECT_GT(rms(x), 0.003) << programs[p].name << " is nearly silent";
    EXPECT_LT(peak, 0.95f) << programs[p].name << " comes close to clipping";
    // Nudging one knob of a program (cutoff by 1 %, decay by 5 %, accent by 10 %) moves it by less than 0.7 dB.
    for (size_t q = 0; q < p; ++q)
      EXPECT_GT(soundDistance(x, phrases[q]), 1.0) << programs[p].name << " sounds like " << programs[q].name;
  }
}

TEST(FactoryBank, ATextThatIsNotEightWholeProgramsIsRefusedNamingItsLine) {
  const std::string line = "\"Name\" wave=saw tune=+0 cutoff=1 reso=2 decay=3 envmod=4 accent=5\n";
  std::string eight = "# comment\n\n";
  for (int p = 0; p < 8; ++p) eight += "\"P" + std::to_string(p) + line.substr(5);
  ASSERT_EQ(bank::parsePrograms(eight).size(), 8u);
  EXPECT_EQ(bank::parsePrograms(eight)[7].steps, (std::array<uint32_t, 7>{0, 32000, 640, 1280, 1920, 2560, 3200}));
  auto problem = [&](const std::string& from, const std::string& to) {
    std::string text = eight;
    text.replace(text.find(from), from.size(), to);
    try {
      bank::parsePrograms(text);
    } catch (const bank::ProgramsError& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(problem("\"P3\"", "\"P2\""), "line 6: the name \"P2\" is taken by line 5");
  EXPECT_EQ(problem("\"P0\"", "\"Twenty-four characters!!\""),
            "line 3: a name has 1 to 23 characters, "
            "\"Twenty-four characters!!\" has 24");
  EXPECT_EQ(problem("\"P0\"", "P0"), "line 3: a program starts with its name in double quotes");
  EXPECT_EQ(problem("\"P0\"", "\"P0"), "line 3: a program starts with its name in double quotes");
  EXPECT_EQ(problem("\"P1\" wave=saw", "\"P1\" wave=sine"), "line 4: wave must be saw or square, not \"sine\"");
  EXPECT_EQ(problem("\"P1\" wave=saw tune=+0", "\"P1\" wave=saw tune=13"),
            "line 4: tune must be a number from -12 to 12, not \"13\"");
  EXPECT_EQ(problem("\"P7\" wave=saw tune=+0 cutoff=1", "\"P7\" wave=saw tune=+0 cutoff=1%"),
            "line 10: cutoff must be a number from 0 to 100, not \"1%\"");
  EXPECT_EQ(problem("\"P7\" wave=saw", "\"P7\" wave=saw wave=saw"), "line 10: wave is given twice");
  EXPECT_EQ(problem("\"P7\" wave=saw", "\"P7\" wav=saw"), "line 10: \"wav=saw\" is not NAME=VALUE of a parameter");
  EXPECT_EQ(problem(" accent=5\n\"P7\"", "\n\"P7\""), "line 9: \"P6\" has no value for accent");
  EXPECT_EQ(problem("# comment", line.substr(0, line.size() - 1)), "line 10: more than 8 programs");
  EXPECT_EQ(problem(line.substr(5), "x\n"), "line 3: a program starts with its name in double quotes");
  EXPECT_EQ(problem("\"P7\"", "# \"P7\""), "7 programs where there must be 8");
}

}  // namespace
