// Koralin's one voice: last-note priority with no note memory; slide from legato, accent from velocity.
#include "instrument/koralin.h"

void Koralin::noteOn(int32_t note, int32_t velocity) {
  const bool previousGate = gate_;
  currentNote_ = (uint8_t)note;
  slide_ = previousGate;
  retrigger_ = retrigger_ || !previousGate;
  accent_ = (int8_t)velocity > 100;  // velocity as a signed byte: 101 ... 127 accent
  gate_ = true;
}

void Koralin::noteOff(int32_t note, int32_t) {
  if ((uint8_t)note == currentNote_) gate_ = false;
}
