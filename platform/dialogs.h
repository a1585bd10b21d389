// Message boxes that reach a person: the error box and the two questions, with a seam for tests.
#pragma once

namespace Platform {

enum class BoxKind { Error, YesNo, OkCancel, Warning };

// Task-modal error box with the error icon.
void showError(const char* caption, const char* text);
// Task-modal warning box with the warning icon.
void showWarning(const char* caption, const char* text);
// Task-modal question with Yes and No; true for Yes.
bool askYesNo(const char* caption, const char* text);
// Task-modal question with OK and Cancel; true for OK.
bool askOkCancel(const char* caption, const char* text);

// Tests replace every box with this function; it returns true for Yes/OK. nullptr restores the real boxes.
using MessageBoxSeam = bool (*)(BoxKind kind, const char* caption, const char* text);
void setMessageBoxSeam(MessageBoxSeam seam);

// Whether the boxes above reach someone who can answer: the test seam, or the system's own boxes. Where they do
// not, a window of ours asks in its own way rather than take the safe answer for the person's.
bool boxesReachSomeone();

// The backend's real box (one per OS), and whether it can be shown now (on Linux: a display and a dialog program).
bool nativeMessageBox(BoxKind kind, const char* caption, const char* text);
bool nativeBoxesAvailable();

}  // namespace Platform
