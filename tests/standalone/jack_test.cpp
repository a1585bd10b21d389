// koralin itself on a JACK dummy server, played by the probe: what it renders against koralin-render note by note and
// to the bit, program changes, a new period, the state across runs, a server that stops under it and a new rate.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>

#include "jack_rig.h"

namespace StandaloneTest {
namespace {

struct Note {
  double on, off;  // seconds from the phrase's start
  int pitch, velocity;
};

// Notes (an accent, a slide from overlapping notes), with a program change at a time of its own.
struct Phrase {
  std::vector<Note> notes;
  double programAt = -1;
  int program = 0;
  double seconds;

  std::vector<TimedMidi> events(uint32_t start, int rate) const {
    std::vector<TimedMidi> out;
    auto at = [&](double s) { return start + (uint32_t)std::lround(s * rate); };
    for (const Note& n : notes) {
      out.push_back(TimedMidi{at(n.on), {0x90, (uint8_t)n.pitch, (uint8_t)n.velocity}, 3});
      out.push_back(TimedMidi{at(n.off), {0x80, (uint8_t)n.pitch, 0}, 3});
    }
    if (programAt >= 0) out.push_back(TimedMidi{at(programAt), {0xC0, (uint8_t)program, 0}, 2});
    std::stable_sort(out.begin(), out.end(), [](const TimedMidi& a, const TimedMidi& b) { return a.frame < b.frame; });
    return out;
  }
};

uint32_t activationFrame(Child& koralin) {
  const std::string line = koralin.waitForLine("playing from JACK frame");
  return line.empty() ? 0 : (uint32_t)std::stoul(line.substr(line.find("frame ") + 6));
}

// Plays the phrase into the running koralin from a quarter second on, and checks the recording against
// koralin-render given the same events at the same frames from koralin's activation: each note's pitch (tune
// semitones up), level and the first note's onset, then every sample. With a new period first, the server stops
// the clients' periods while it changes, so frames pass that koralin does not render: the notes must still be
// the renderer's, at their frames, but the oscillator's drift has moved on and the samples differ.
// played: what was played before (the renderer plays it too), and then what this phrase played.
void expectPlayedAsRendered(const JackServer& server, Child& koralin, uint32_t activation, const Phrase& phrase,
                            int rate, const std::string& program, int tune, const std::string& scratch,
                            std::vector<TimedMidi>& played, int newPeriod = 0) {
  ASSERT_NE(activation, 0u) << "koralin did not start playing: " << koralin.err();
  const size_t frames = (size_t)(phrase.seconds * rate);
  Probe probe(server, frames);
  ASSERT_TRUE(probe.ok() && probe.connectTo("Koralin"));
  if (newPeriod) {
    ASSERT_EQ(jack_set_buffer_size(probe.keys(), (jack_nframes_t)newPeriod), 0);
    EXPECT_NE(koralin.waitForLine("the server's period is now " + std::to_string(newPeriod) + " frames"), "");
  }
  const uint32_t start = probe.now() + (uint32_t)rate / 4;
  const std::vector<TimedMidi> events = phrase.events(start, rate);
  probe.arm(events, start);
  played.insert(played.end(), events.begin(), events.end());
  ASSERT_TRUE(probe.recordFreewheeling((int)(phrase.seconds * 1000) + 5000)) << "the recording did not end";

  std::vector<TimedMidi> fromActivation = played;
  for (TimedMidi& e : fromActivation) e.frame -= activation;
  std::string error;
  const std::vector<float> rendered =
      renderWithRenderer(fromActivation, rate, program, start - activation + frames, scratch, error);
  ASSERT_TRUE(error.empty()) << error;
  const std::vector<float> reference(rendered.begin() + (start - activation), rendered.end());

  for (size_t i = 0; i < phrase.notes.size(); ++i) {
    const size_t from = (size_t)(phrase.notes[i].on * rate);
    const size_t to = i + 1 < phrase.notes.size() ? (size_t)(phrase.notes[i + 1].on * rate) : frames;
    const HeardNote heard = hear(probe.left, from, to, rate), expected = hear(reference, from, to, rate);
    SCOPED_TRACE("note " + std::to_string(i + 1) + " (MIDI " + std::to_string(phrase.notes[i].pitch) + ")");
    EXPECT_LT(std::fabs(semitonesFrom(heard.hz, phrase.notes[i].pitch + tune)), kInTune) << heard.hz << " Hz";
    EXPECT_GT(heard.db, -40.0);
    EXPECT_NEAR(heard.db, expected.db, newPeriod ? 1.0 : 0.05);
    if (i == 0 && !newPeriod) {
      EXPECT_EQ(heard.firstSound, expected.firstSound);  // after silence: the note starts on its frame
    }
  }
  if (!newPeriod) {
    EXPECT_EQ(firstDifference(probe.left, reference, frames), "") << "the output against koralin-render; jackd said:\n"
                                                                  << server.log();
  }
  EXPECT_EQ(firstDifference(probe.left, probe.right, frames), "") << "the two outputs";
}

const Phrase kPhrase{{{0.00, 0.20, 36, 90},
                      {0.25, 0.45, 43, 120},
                      {0.50, 0.72, 48, 90},
                      {0.70, 0.90, 51, 90},
                      {1.05, 1.30, 36, 90},
                      {1.35, 1.60, 41, 110}},
                     1.00,
                     2,  // "Rubber Sub"
                     1.8};

std::vector<std::string> configEnv(const JackServer& server, const std::string& scratch) {
  return {server.env(), "XDG_CONFIG_HOME=" + scratch + "/config"};
}

TEST(StandaloneOnJack, PlaysAsTheRendererDoesAndKeepsItsStateBetweenRuns) {
  JackServer server(48000, 256);
  ASSERT_TRUE(server.up()) << "jackd -d dummy did not start: " << server.log();
  const std::string scratch = scratchFolder("plays");
  {
    Child koralin({koralinPath(), "--no-gui", "--no-connect", "-v", "--fresh", "--program", "Hard Acid"},
                  configEnv(server, scratch));
    const uint32_t activation = activationFrame(koralin);
    std::vector<TimedMidi> played;
    expectPlayedAsRendered(server, koralin, activation, kPhrase, 48000, "Hard Acid", 0, scratch, played);
    EXPECT_NE(koralin.waitForLine("program 3 \"Rubber Sub\""), "") << "the program change from MIDI";
    Phrase again = kPhrase;
    again.program = 6;  // from "Rubber Sub" back to "Hard Acid"
    expectPlayedAsRendered(server, koralin, activation, again, 48000, "Hard Acid", 0, scratch, played, 128);
    EXPECT_NE(koralin.waitForLine("program 7 \"Hard Acid\""), "");
    koralin.signal(SIGTERM);
    EXPECT_EQ(koralin.wait(), 0) << koralin.err();
    EXPECT_EQ(koralin.err(), "");
    EXPECT_NE(koralin.waitForLine("state saved to " + scratch + "/config/Quillmarsh/Koralin.state"), "");
  }
  // The next start takes up the saved state, MIDI's program change included; --fresh starts from the factory's.
  Child again({koralinPath(), "--no-gui", "--no-connect", "-v"}, configEnv(server, scratch));
  EXPECT_NE(again.waitForLine("program 7 \"Hard Acid\""), "") << again.out() << again.err();
  again.signal(SIGINT);
  EXPECT_EQ(again.wait(), 0);
  Child fresh({koralinPath(), "--no-gui", "--no-connect", "-v", "--fresh"}, configEnv(server, scratch));
  EXPECT_NE(fresh.waitForLine("program 1 \"Neutral Start\""), "") << fresh.out() << fresh.err();
}

TEST(StandaloneOnJack, SaysInOneLineWhenTheServerStopsAndPlaysAtTheNextServersRate) {
  const std::string scratch = scratchFolder("restart");
  const std::string state = scratch + "/lead.state";
  {
    JackServer server(48000, 256);
    ASSERT_TRUE(server.up()) << server.log();
    Child koralin({koralinPath(), "--no-gui", "--no-connect", "-v", "--program", "4", "--state", state},
                  configEnv(server, scratch));
    ASSERT_NE(activationFrame(koralin), 0u) << koralin.err();
    server.stop();
    EXPECT_EQ(koralin.wait(), 1);
    EXPECT_EQ(std::count(koralin.err().begin(), koralin.err().end(), '\n'), 1) << koralin.err();
    EXPECT_NE(koralin.err().find("the JACK server shut Koralin down"), std::string::npos) << koralin.err();
    EXPECT_TRUE(std::filesystem::exists(state));
  }
  // The server back at twice the rate and another period: koralin plays in tune there, from the saved state.
  JackServer server(96000, 512);
  ASSERT_TRUE(server.up()) << server.log();
  Child koralin({koralinPath(), "--no-gui", "--no-connect", "-v", "--state", state}, configEnv(server, scratch));
  EXPECT_NE(koralin.waitForLine("at 96000 Hz, 512 frames a period"), "");
  const Phrase twoNotes{{{0.0, 0.3, 40, 100}, {0.35, 0.6, 47, 100}}, -1, 0, 0.8};
  std::vector<TimedMidi> played;
  expectPlayedAsRendered(server, koralin, activationFrame(koralin), twoNotes, 96000, "Screaming Lead", 12, scratch,
                         played);
}

}  // namespace
}  // namespace StandaloneTest
