// The one question of our own that a host or a binding may ask the plug-in through its AEffect: does it rest?
//
// dispatcher(effect, effVendorSpecific, kRestQueryIndex, kRestQueryValue, nullptr, 0.0f) answers
//   kRestQuerySounding (1): the last processed block ended with the voice making sound, or nothing was processed
//                           since the plug-in was made or resumed;
//   kRestQueryResting (2):  the last processed block ended at rest with the amplifier shut until a new note: every
//                           later block is zeros until an event arrives (a note, a controller, a parameter change,
//                           a program, a chunk or a reset);
//   0:                      the question is not understood (any other index or value, as every plug-in answers).
// Any thread may ask; the answer is the audio thread's, as of its last block, read without a lock. A host that
// offers it (a sleeping process status) may stop calling a resting plug-in until it has an event for it; the VST
// 2.4 path keeps calling, and a resting block then costs a small fraction of a playing one.
#pragma once

#include <cstdint>

namespace KoralinQuery {

constexpr int32_t kRestQueryIndex = 0x6B6D5078;   // "kmPx", the plug-in's unique ID, as a big-endian number
constexpr intptr_t kRestQueryValue = 0x52657374;  // "Rest"
constexpr intptr_t kRestQuerySounding = 1;
constexpr intptr_t kRestQueryResting = 2;

}  // namespace KoralinQuery
