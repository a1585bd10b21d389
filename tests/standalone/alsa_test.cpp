// koralin's ALSA sequencer input, where the machine has a sequencer: notes sent to its port "Koralin" by a client of
// ours sound at their pitch, each the same time after it was sent (the inbox's constant one-period delay).
#include <alsa/asoundlib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "jack_rig.h"

namespace StandaloneTest {
namespace {

// The first frame from `from` on whose sample reaches a tenth of the recording's peak.
int64_t attackAfter(const std::vector<float>& x, size_t from, float peak) {
  for (size_t i = from; i < x.size(); ++i)
    if (std::fabs(x[i]) >= 0.1f * peak) return (int64_t)i;
  return -1;
}

TEST(StandaloneAlsa, SequencerNotesSoundAtTheirPitchOnePeriodAfterTheyCame) {
  if (access("/dev/snd/seq", R_OK | W_OK) != 0) GTEST_SKIP() << "no ALSA sequencer here (/dev/snd/seq)";
  JackServer server(48000, 256);
  ASSERT_TRUE(server.up()) << server.log();
  const std::string scratch = scratchFolder("alsa");
  Child koralin({koralinPath(), "--no-gui", "--no-connect", "-v", "--fresh", "--alsa-midi", "--program", "5"},
                {server.env(), "XDG_CONFIG_HOME=" + scratch + "/config"});
  const std::string line = koralin.waitForLine("ALSA sequencer port ");
  ASSERT_NE(line, "") << koralin.err();
  int client = -1, port = -1;
  ASSERT_EQ(std::sscanf(line.c_str(), "Koralin: ALSA sequencer port %d:%d", &client, &port), 2) << line;

  snd_seq_t* seq = nullptr;
  ASSERT_GE(snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0), 0);
  const int ours = snd_seq_create_simple_port(seq, "keys", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                              SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
  ASSERT_GE(snd_seq_connect_to(seq, ours, client, port), 0);
  const size_t frames = 48000;
  Probe probe(server, frames);
  ASSERT_TRUE(probe.ok() && probe.connectTo("Koralin"));
  const uint32_t start = probe.now() + 2400;
  probe.arm({}, start);
  while ((int32_t)(probe.now() - start) < 2400) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const int notes[] = {45, 52, 57, 48};
  std::vector<uint32_t> sent;
  for (int note : notes) {
    snd_seq_event_t event;
    for (bool on : {true, false}) {
      snd_seq_ev_clear(&event);
      snd_seq_ev_set_source(&event, ours);
      snd_seq_ev_set_subs(&event);
      snd_seq_ev_set_direct(&event);
      if (on) snd_seq_ev_set_noteon(&event, 0, note, 100);
      else snd_seq_ev_set_noteoff(&event, 0, note, 0);
      if (on) sent.push_back(probe.now() - start);
      snd_seq_event_output_direct(seq, &event);
      std::this_thread::sleep_for(std::chrono::milliseconds(on ? 120 : 80));
    }
  }
  ASSERT_TRUE(probe.waitRecorded(5000));
  snd_seq_close(seq);

  const float peak = *std::max_element(probe.left.begin(), probe.left.end());
  std::vector<int64_t> delays;
  for (size_t i = 0; i < sent.size(); ++i) {
    const int64_t attack = attackAfter(probe.left, sent[i], peak);
    ASSERT_GE(attack, 0) << "note " << i + 1 << " did not sound";
    delays.push_back(attack - sent[i]);
    const HeardNote heard = hear(probe.left, (size_t)attack, (size_t)attack + 4800, 48000);
    EXPECT_LT(std::fabs(semitonesFrom(heard.hz, notes[i])), kInTune) << "note " << i + 1 << ": " << heard.hz << " Hz";
  }
  // One period (256 frames) after it came, give or take the scheduling of the sequencer's thread and our own.
  for (int64_t delay : delays) EXPECT_NEAR((double)delay, (double)delays[0], 96.0);
  EXPECT_GE(delays[0], 0);
  EXPECT_LE(delays[0], 3 * 256);
}

}  // namespace
}  // namespace StandaloneTest
