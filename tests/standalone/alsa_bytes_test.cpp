// The ALSA input's conversion of sequencer events into MIDI bytes against libasound's own encoder of the same
// events (snd_midi_event_decode, which needs no sequencer): every channel message kind on every channel, across its
// value ranges, pitch bend's signed centre included. Runs where the machine has no snd-seq too.
#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <vector>

#include "plugin/standalone/alsa_input.h"

namespace StandaloneTest {
namespace {

TEST(StandaloneAlsaBytes, EveryChannelMessageIsTheBytesLibasoundMakesOfIt) {
  snd_midi_event_t* encoder = nullptr;
  ASSERT_EQ(snd_midi_event_new(16, &encoder), 0);
  snd_midi_event_no_status(encoder, 1);  // every message with its status byte, as the inbox takes them
  const std::vector<int> seven = {0, 1, 63, 64, 126, 127};
  int compared = 0;
  auto expectSame = [&](const snd_seq_event_t& event, const char* what) {
    unsigned char theirs[16];
    snd_midi_event_reset_decode(encoder);
    const long size = snd_midi_event_decode(encoder, theirs, sizeof theirs, &event);
    uint8_t ours[3] = {};
    const size_t got = Standalone::midiBytesOf(event, ours);
    ASSERT_GT(size, 0) << what;
    ASSERT_EQ((long)got, size) << what;
    for (size_t i = 0; i < got; ++i) EXPECT_EQ(ours[i], theirs[i]) << what << ", byte " << i;
    ++compared;
  };
  for (int channel = 0; channel < 16; ++channel) {
    for (const snd_seq_event_type_t type : {SND_SEQ_EVENT_NOTEON, SND_SEQ_EVENT_NOTEOFF, SND_SEQ_EVENT_KEYPRESS}) {
      for (int a : seven) {
        for (int b : seven) {
          snd_seq_event_t event{};
          event.type = type;
          event.data.note = {(unsigned char)channel, (unsigned char)a, (unsigned char)b, 0, 0};
          expectSame(event, "a note message");
        }
      }
    }
    for (int a : seven) {
      for (int b : seven) {
        snd_seq_event_t event{};
        event.type = SND_SEQ_EVENT_CONTROLLER;
        event.data.control.channel = (unsigned char)channel;
        event.data.control.param = (unsigned)a;
        event.data.control.value = b;
        expectSame(event, "a controller");
      }
    }
    for (const snd_seq_event_type_t type : {SND_SEQ_EVENT_PGMCHANGE, SND_SEQ_EVENT_CHANPRESS}) {
      for (int value : seven) {
        snd_seq_event_t event{};
        event.type = type;
        event.data.control.channel = (unsigned char)channel;
        event.data.control.value = value;
        expectSame(event, "a program change or channel pressure");
      }
    }
    for (int bend : {-8192, -8191, -129, -128, -1, 0, 1, 127, 128, 8190, 8191}) {
      snd_seq_event_t event{};
      event.type = SND_SEQ_EVENT_PITCHBEND;
      event.data.control.channel = (unsigned char)channel;
      event.data.control.value = bend;
      expectSame(event, ("a pitch bend of " + std::to_string(bend)).c_str());
    }
  }
  EXPECT_EQ(compared, 16 * (3 * 36 + 36 + 2 * 6 + 11));
  // What is not a channel message stays out of the inbox (the clock, transport and system exclusive).
  for (const snd_seq_event_type_t type : {SND_SEQ_EVENT_CLOCK, SND_SEQ_EVENT_START, SND_SEQ_EVENT_SYSEX}) {
    snd_seq_event_t event{};
    event.type = type;
    uint8_t bytes[3];
    EXPECT_EQ(Standalone::midiBytesOf(event, bytes), 0u) << "event type " << (int)type;
  }
  snd_midi_event_free(encoder);
}

}  // namespace
}  // namespace StandaloneTest
