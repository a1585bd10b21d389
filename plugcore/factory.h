// The module's factory: the product supplies its instrument; the core decides whether it may run.
#pragma once

#include "vst/aeffect.h"

namespace PlugCore {

class Plug;

// Made by the product (the one instrument of this module). May throw; the caller catches.
Plug* createInstrument(audioMasterCallback hostCallback);

// The instrument if the processor has SSE2, else the silent stand-by object after telling the user.
Plug* createPlug(audioMasterCallback hostCallback);

// The whole entry point: checks the host, runs the factory and returns the descriptor or null.
AEffect* pluginEntry(audioMasterCallback hostCallback);

}  // namespace PlugCore
