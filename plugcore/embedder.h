// What a host of our own (the embedding layer under the formats other than VST 2.4) may tell the core through the
// VST 2.4 host callback. Before the core shows a box for a chunk it refuses, it asks the host with
// audioMasterVendorSpecific, index kEmbedderQuestion, value kChunkRefused and the reason text as ptr; a host that
// answers kRefusalTaken reports the refusal to its own host instead, and no box appears. Any other answer (every
// VST 2.4 host's) leaves the box as it was.
// While it is being made, the instrument asks the same way (value kUserDefaultsAtStart) before it reads the user's
// defaults file; a host that answers kUserDefaultsDeclined gets the factory settings alone (a standalone started
// afresh). Any other answer reads the file as before.
#pragma once

#include "vst/aeffect.h"

namespace PlugCore {

constexpr int32_t kEmbedderQuestion = vstFourCC('Q', 'm', 'E', 'm');
constexpr intptr_t kChunkRefused = vstFourCC('R', 'e', 'f', 'u');
constexpr intptr_t kRefusalTaken = vstFourCC('T', 'a', 'k', 'n');
constexpr intptr_t kUserDefaultsAtStart = vstFourCC('U', 'D', 'e', 'f');
constexpr intptr_t kUserDefaultsDeclined = vstFourCC('N', 'o', 'U', 'D');

}  // namespace PlugCore
