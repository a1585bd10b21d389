// AlsaInput: the sequencer client, its port, and the thread that reads it.
#include "plugin/standalone/alsa_input.h"

#include <poll.h>
#include <unistd.h>

#include <vector>

#include "plugin/standalone/jack_engine.h"

namespace Standalone {

size_t midiBytesOf(const snd_seq_event_t& event, uint8_t bytes[3]) {
  const uint8_t channel = event.data.note.channel & 0x0F;  // the same byte in the control record
  const snd_seq_ev_ctrl_t& control = event.data.control;
  auto three = [&](uint8_t status, int a, int b) {
    bytes[0] = (uint8_t)(status | channel), bytes[1] = (uint8_t)(a & 0x7F), bytes[2] = (uint8_t)(b & 0x7F);
    return size_t(3);
  };
  switch (event.type) {
    case SND_SEQ_EVENT_NOTEON: return three(0x90, event.data.note.note, event.data.note.velocity);
    case SND_SEQ_EVENT_NOTEOFF: return three(0x80, event.data.note.note, event.data.note.velocity);
    case SND_SEQ_EVENT_KEYPRESS: return three(0xA0, event.data.note.note, event.data.note.velocity);
    case SND_SEQ_EVENT_CONTROLLER: return three(0xB0, (int)control.param, control.value);
    case SND_SEQ_EVENT_PITCHBEND: {
      const int bend = control.value + 8192;  // ALSA's is signed around the centre
      return three(0xE0, bend & 0x7F, bend >> 7);
    }
    case SND_SEQ_EVENT_PGMCHANGE:
    case SND_SEQ_EVENT_CHANPRESS:
      bytes[0] = (uint8_t)((event.type == SND_SEQ_EVENT_PGMCHANGE ? 0xC0 : 0xD0) | channel);
      bytes[1] = (uint8_t)(control.value & 0x7F);
      return 2;
    default: return 0;
  }
}

bool AlsaInput::open(const std::string& clientName, std::string& reason) {
  const int opened = snd_seq_open(&seq_, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK);
  if (opened < 0) {
    seq_ = nullptr;
    reason = std::string("no ALSA sequencer (") + snd_strerror(opened) + "; is the snd-seq module loaded?)";
    return false;
  }
  snd_seq_set_client_name(seq_, clientName.c_str());
  port_ = snd_seq_create_simple_port(seq_, "Koralin", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                     SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
  if (port_ < 0 || pipe(wake_) != 0) {
    reason = std::string("the ALSA sequencer would not make the port (") + snd_strerror(port_) + ")";
    close();
    return false;
  }
  return true;
}

std::string AlsaInput::address() const {
  return seq_ ? std::to_string(snd_seq_client_id(seq_)) + ":" + std::to_string(port_) : std::string();
}

void AlsaInput::start(JackEngine& engine) {
  if (!seq_ || thread_.joinable()) return;
  stopping_.store(false);
  thread_ = std::thread([this, &engine] { read(engine); });
}

void AlsaInput::read(JackEngine& engine) {
  const int count = snd_seq_poll_descriptors_count(seq_, POLLIN);
  std::vector<pollfd> fds((size_t)count + 1);
  snd_seq_poll_descriptors(seq_, fds.data(), (unsigned)count, POLLIN);
  fds[(size_t)count] = {wake_[0], POLLIN, 0};
  while (!stopping_.load()) {
    if (poll(fds.data(), fds.size(), -1) < 0) continue;  // a signal
    for (;;) {
      snd_seq_event_t* event = nullptr;
      const int left = snd_seq_event_input(seq_, &event);
      if (left == -ENOSPC) continue;  // the kernel's queue overran and dropped some: read on
      if (left < 0 || !event) break;  // -EAGAIN: all read
      const uint32_t arrival = engine.frameTime();
      uint8_t bytes[3];
      if (const size_t size = midiBytesOf(*event, bytes)) engine.inbox().push(arrival, bytes, size);
    }
  }
}

void AlsaInput::close() {
  if (thread_.joinable()) {
    stopping_.store(true);
    const char byte = 0;
    if (write(wake_[1], &byte, 1) < 0) {
    }  // the thread also sees stopping_ at its next message
    thread_.join();
  }
  for (int& fd : wake_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  if (seq_) snd_seq_close(seq_);
  seq_ = nullptr;
}

}  // namespace Standalone
