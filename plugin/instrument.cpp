// The one instrument this module makes.
#include "plugcore/factory.h"
#include "instrument/koralin.h"

PlugCore::Plug* PlugCore::createInstrument(audioMasterCallback hostCallback) { return new Koralin(hostCallback); }
