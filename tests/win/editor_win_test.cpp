// Koralin.dll's editor under Wine as a host opens it: the window in the host's window, a knob turned by the wheel,
// closing, and opening again after the module was unloaded and loaded anew.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "host/lib/plugin_host.h"
#include "tests/win/pump_win.h"

namespace {

// The module shows its boxes through its own copy of the platform layer: a thread timer, which runs inside a box's
// modal loop, notes and closes them so that a failure reports instead of waiting for a person.
std::vector<std::string> g_moduleBoxes;

BOOL CALLBACK closeBox(HWND window, LPARAM) {
  char name[16] = {}, caption[128] = {};
  GetClassNameA(window, name, sizeof name);
  if (std::string(name) != "#32770" || !IsWindowVisible(window)) return TRUE;
  GetWindowTextA(window, caption, sizeof caption);
  g_moduleBoxes.push_back(caption);
  PostMessageA(window, WM_CLOSE, 0, 0);
  return TRUE;
}

void CALLBACK watchForBoxes(HWND, UINT, UINT_PTR, DWORD) { EnumThreadWindows(GetCurrentThreadId(), closeBox, 0); }

TEST(WinEditor, OpensInTheHostsWindowTakesTheWheelClosesAndOpensAgainAfterAReload) {
  HWND host = CreateWindowExA(0, "Static", "host", WS_POPUP | WS_VISIBLE, 300, 200, 600, 150, nullptr, nullptr, nullptr,
                              nullptr);
  if (!host) GTEST_SKIP() << "no window system (Wine needs a display for windows)";
  const UINT_PTR watcher = SetTimer(nullptr, 0, 50, watchForBoxes);
  g_moduleBoxes.clear();
  for (int load = 0; load < 2; ++load) {  // the module is unloaded between the two: its window class stays
    SCOPED_TRACE(load);
    Host::PluginHost plugin(KORALIN_DLL);
    plugin.start(44100.0f, 256);
    ERect* rect = nullptr;
    plugin.dispatch(effEditGetRect, 0, 0, &rect);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, 560);
    EXPECT_EQ(rect->bottom - rect->top, 110);

    plugin.dispatch(effEditOpen, 0, 0, host);
    HWND editor = FindWindowExA(host, nullptr, "LatticeWinwrapper", nullptr);
    ASSERT_NE(editor, nullptr);
    RECT client{};
    GetClientRect(editor, &client);
    EXPECT_EQ(client.right, 560);
    EXPECT_EQ(client.bottom, 110);
    pumpFor(plugin, 60);  // the first paint makes the device and draws; the timer runs

    // One notch up over the cutoff knob, its point on the screen as the system gives it.
    const float before = plugin.getParameter(2);
    RECT onScreen{};
    GetWindowRect(editor, &onScreen);
    SendMessageA(editor, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(onScreen.left + 126, onScreen.top + 63));
    EXPECT_GT(plugin.getParameter(2), before);
    pumpFor(plugin, 30);

    plugin.dispatch(effEditClose);
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_EQ(FindWindowExA(host, nullptr, "LatticeWinwrapper", nullptr), nullptr);
  }
  KillTimer(nullptr, watcher);
  DestroyWindow(host);
  EXPECT_EQ(g_moduleBoxes, std::vector<std::string>{});
}

}  // namespace
