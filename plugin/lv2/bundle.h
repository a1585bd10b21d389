// What Koralin.lv2's description and its binary agree on: the URIs, the ports and their order. The description is
// written from these at build time (make_bundle_ttl.cpp), so the two cannot drift apart.
#pragma once

#include <cstdint>

#include "instrument/koralin_params.h"

#define KORALIN_LV2_URI "https://quillmarsh.example/koralin/lv2"

namespace KoralinLv2 {

constexpr const char* kPluginUri = KORALIN_LV2_URI;
constexpr const char* kUiUri = KORALIN_LV2_URI "#ui";
// The one state property: the instrument's whole chunk (bank form), as an atom:Chunk.
constexpr const char* kStateKey = KORALIN_LV2_URI "#state";
// Factory presets are this prefix and the program's name in lower case, blanks as dashes ("squelch-saw").
constexpr const char* kPresetPrefix = KORALIN_LV2_URI "/preset/";
constexpr const char* kBinary = "Koralin.so";
constexpr const char* kHostProduct = "Koralin LV2";  // what the instrument reads as its host's product

// The longest block when the host names none (bufsz:maxBlockLength or nominalBlockLength); longer ones are cut.
constexpr int32_t kFallbackMaxFrames = 4096;

// Port indices. Each parameter has an input (what the host sets, in the units a musician reads) and an output
// (what the instrument holds now, in the same units), both named after the parameter ("cutoff", "cutoff_now").
namespace Port {
constexpr uint32_t kEvents = 0;  // atom:Sequence of midi:MidiEvent in, lv2:control
constexpr uint32_t kLeft = 1;
constexpr uint32_t kRight = 2;
constexpr uint32_t kFirstParam = 3;
constexpr uint32_t kFirstNow = kFirstParam + KoralinParams::kCount;
constexpr uint32_t kCount = kFirstNow + KoralinParams::kCount;

constexpr uint32_t param(int32_t index) { return kFirstParam + (uint32_t)index; }
constexpr uint32_t now(int32_t index) { return kFirstNow + (uint32_t)index; }
}  // namespace Port

constexpr const char* kNowSuffix = "_now";

}  // namespace KoralinLv2
