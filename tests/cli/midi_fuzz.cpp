// libFuzzer entry point for the MIDI file parser and the tempo map: any input is a song or a clean refusal.
#include <cstdint>
#include <cstdlib>

#include "host/lib/midi_file.h"
#include "host/lib/midi_timeline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    Host::MidiFile file = Host::parseMidiFile(data, size);
    Host::MidiTimeline song(file, 44100);
    int64_t previous = 0;
    for (const Host::TimedMidi& e : song.events()) {
      if (e.sample < previous || e.status < 0x80 || e.status > 0xEF) std::abort();
      previous = e.sample;
    }
  } catch (const Host::MidiFileError& e) {
    if (e.offset() > size) std::abort();
  } catch (const Host::SongTooLong&) {
  }
  return 0;
}
