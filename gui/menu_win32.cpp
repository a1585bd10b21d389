// WinMenu: the tree's popup menu over a Win32 popup menu, tracked modally on the root's window.
#include <memory>
#include <vector>

#include "gui/window_win32.h"

namespace Lattice {

namespace {

// A menu inside another: its items go into a popup menu that the parent's item opens. The system destroys it with
// the parent's menu; its commands come to the window as the parent's do.
class WinSubmenu final : public Menu {
 public:
  WinSubmenu() : menu(CreatePopupMenu()) {}
  ~WinSubmenu() override = default;  // DestroyMenu of the parent takes it

  void addItem(const char* text, int id, bool enabled, bool checked) override {
    UINT flags = MF_STRING;
    if (!enabled) flags |= MF_GRAYED;
    if (checked) flags |= MF_CHECKED;
    AppendMenuA(menu, flags, UINT_PTR(id), text);
  }
  void addSeparator() override { AppendMenuA(menu, MF_SEPARATOR, 0, nullptr); }
  Menu* addSubmenu(const char*) override { return nullptr; }  // one level is all the editor uses
  int popup(int, int, int) override { return 0; }

  HMENU menu;
};

class WinMenu final : public Menu {
 public:
  WinMenu(Winwrapper& root, Control* listener) : root(&root), listener(listener), menu(CreatePopupMenu()) {}
  ~WinMenu() override {
    if (menu) DestroyMenu(menu);
  }

  void addItem(const char* text, int id, bool enabled, bool checked) override {
    UINT flags = MF_STRING;
    if (!enabled) flags |= MF_GRAYED;
    if (checked) flags |= MF_CHECKED;
    AppendMenuA(menu, flags, UINT_PTR(id), text);
  }

  void addSeparator() override { AppendMenuA(menu, MF_SEPARATOR, 0, nullptr); }

  Menu* addSubmenu(const char* text) override {
    auto sub = std::make_unique<WinSubmenu>();
    if (!menu || !sub->menu || !AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub->menu), text)) {
      if (sub->menu) DestroyMenu(sub->menu);
      return nullptr;
    }
    submenus.push_back(std::move(sub));
    return submenus.back().get();
  }

  // Blocks in the system's menu loop, which keeps dispatching the window's messages (its timer among them). The
  // chosen id arrives afterwards as WM_COMMAND. The capture change that ends the loop clears the open state where
  // the system's loop held the capture on our window; where it held it on the menu's own window (Wine) no change
  // reaches us, so a menu that has returned is closed here as well.
  int popup(int x, int y, int alignment) override {
    if (!menu) return 0;
    root->menuOpening(listener);
    int screenX = 0, screenY = 0;
    root->screenPoint(listener, x, y, screenX, screenY);
    const HWND window = reinterpret_cast<HWND>(root->windowHandle());
    const int shown = TrackPopupMenu(menu, popupFlags(alignment), screenX, screenY, 0, window, nullptr);
    // A window destroyed while the menu was up took the root with it.
    if (IsWindow(window) && root->menuOpen) {
      root->menuOpen = false;
      root->invalidate();
    }
    return shown;
  }

 private:
  Winwrapper* root;   // not owned
  Control* listener;  // not owned: receives the chosen command
  HMENU menu;         // owned, with the submenus' menus
  std::vector<std::unique_ptr<WinSubmenu>> submenus;
};

}  // namespace

UINT popupFlags(int alignment) {
  const UINT horizontal = alignment == -1 ? TPM_LEFTALIGN : alignment == 1 ? TPM_RIGHTALIGN : TPM_CENTERALIGN;
  return horizontal | TPM_RIGHTBUTTON | TPM_VERPOSANIMATION;
}

Menu* newWinMenu(Winwrapper& root, Control* listener) { return new WinMenu(root, listener); }

}  // namespace Lattice
