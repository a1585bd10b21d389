// What a host of our own (the embedding layer under the formats other than VST 2.4) may tell the core through the
// VST 2.4 host callback. Before the core shows a box for a chunk it refuses, it asks the host with
// audioMasterVendorSpecific, index kEmbedderQuestion, value kChunkRefused and the reason text as ptr; a host that
// answers kRefusalTaken reports the refusal to its own host instead, and no box appears. Any other answer (every
// VST 2.4 host's) leaves the box as it was.
// The other way, a host of ours may ask the core with effVendorSpecific, index kEmbedderQuestion and value
// kLoadFactoryState, for the state of an instance whose user never saved defaults (a standalone started afresh);
// the core answers 1 when it loaded it. With value kEditorScale and the scale (window pixels per unit, 0 for none)
// as opt it tells the editor its host's scale, before the editor opens or while it is open; the dispatcher answers 1
// when the editor took it. No VST 2.4 host sends these numbers.
#pragma once

#include "vst/aeffect.h"

namespace PlugCore {

constexpr int32_t kEmbedderQuestion = vstFourCC('Q', 'm', 'E', 'm');
constexpr intptr_t kChunkRefused = vstFourCC('R', 'e', 'f', 'u');
constexpr intptr_t kRefusalTaken = vstFourCC('T', 'a', 'k', 'n');
constexpr intptr_t kLoadFactoryState = vstFourCC('F', 'a', 'c', 't');
constexpr intptr_t kEditorScale = vstFourCC('S', 'c', 'a', 'l');

}  // namespace PlugCore
