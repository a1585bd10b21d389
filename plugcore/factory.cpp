// The factory behind the entry point: the host check, the SSE2 test, and the object it makes.
#include "plugcore/factory.h"

#include <new>

#include "platform/dialogs.h"
#include "platform/system.h"
#include "plugcore/null_plug.h"

namespace PlugCore {

Plug* createPlug(audioMasterCallback hostCallback) {
  if (Platform::cpuHasSse2()) return createInstrument(hostCallback);
  Platform::showError("Error",
                      "This plugin requires SSE2, which your CPU doesn't support.\n"
                      "Unfortunately you will need a more recent system. Sorry.");
  return new NullPlug(hostCallback);
}

AEffect* pluginEntry(audioMasterCallback hostCallback) {
  if (!hostCallback || hostCallback(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
  try {
    Plug* plug = createPlug(hostCallback);
    if (!plug) return nullptr;
    plug->discardDisplayChange();  // what construction loaded is what the host reads first: nothing to redisplay
    return plug->getAeffect();
  } catch (...) {
    return nullptr;  // nothing may cross into the host
  }
}

}  // namespace PlugCore
