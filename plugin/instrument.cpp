// The one instrument this module makes.
#include "instrument/koralin.h"
#include "plugcore/factory.h"

PlugCore::Plug* PlugCore::createInstrument(audioMasterCallback hostCallback) { return new Koralin(hostCallback); }
