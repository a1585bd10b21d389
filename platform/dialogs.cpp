// Routes every message box through the test seam or the backend's native box.
#include "platform/dialogs.h"

#include <atomic>

namespace Platform {
namespace {
std::atomic<MessageBoxSeam> g_seam{nullptr};

bool show(BoxKind kind, const char* caption, const char* text) {
  if (MessageBoxSeam seam = g_seam.load()) return seam(kind, caption, text);
  return nativeMessageBox(kind, caption, text);
}
}  // namespace

void setMessageBoxSeam(MessageBoxSeam seam) { g_seam.store(seam); }
bool boxesReachSomeone() { return g_seam.load() != nullptr || nativeBoxesAvailable(); }
void showError(const char* caption, const char* text) { show(BoxKind::Error, caption, text); }
void showWarning(const char* caption, const char* text) { show(BoxKind::Warning, caption, text); }
bool askYesNo(const char* caption, const char* text) { return show(BoxKind::YesNo, caption, text); }
bool askOkCancel(const char* caption, const char* text) { return show(BoxKind::OkCancel, caption, text); }

}  // namespace Platform
