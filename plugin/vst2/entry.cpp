// The module's exported entry point; the linker gives it its second name, "main".
#include "plugcore/factory.h"

extern "C" __attribute__((visibility("default"))) AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback host) {
  return PlugCore::pluginEntry(host);
}
