// Lets an opened editor live for a while as a host's message loop does: messages dispatched, idle every 5 ms.
#pragma once

#include <windows.h>

#include "host/lib/plugin_host.h"

inline void pumpFor(Host::PluginHost& host, int milliseconds) {
  const DWORD end = GetTickCount() + DWORD(milliseconds);
  MSG message;
  do {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    host.dispatch(effEditIdle);
    Sleep(5);
  } while (GetTickCount() < end);
}
