// Win32 message boxes: no owner, task-modal, with the icon and buttons each kind of box calls for.
#include <windows.h>

#include "platform/detail_win32.h"
#include "platform/dialogs.h"

namespace Platform {

unsigned messageBoxStyle(BoxKind kind) {
  switch (kind) {
    case BoxKind::Error: return MB_OK | MB_ICONERROR | MB_TASKMODAL;
    case BoxKind::Warning: return MB_OK | MB_ICONWARNING | MB_TASKMODAL;
    case BoxKind::YesNo: return MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL;
    case BoxKind::OkCancel: return MB_OKCANCEL | MB_ICONQUESTION | MB_TASKMODAL;
  }
  return MB_OK | MB_TASKMODAL;
}

bool nativeMessageBox(BoxKind kind, const char* caption, const char* text) {
  const int answer = MessageBoxA(nullptr, text, caption, messageBoxStyle(kind));
  // Only an explicit Yes or OK counts; a failed box (0) is the safe answer.
  if (kind == BoxKind::YesNo) return answer == IDYES;
  if (kind == BoxKind::OkCancel) return answer == IDOK;
  return false;
}

bool nativeBoxesAvailable() { return true; }

}  // namespace Platform
