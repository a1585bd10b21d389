// Linux message boxes: a line on stderr always, and a real dialog through zenity or kdialog when a display exists.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/dialogs.h"

namespace Platform {
namespace {

bool onPath(const char* program) {
  const char* path = std::getenv("PATH");
  if (!path) return false;
  std::string dirs(path);
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string candidate = dirs.substr(start, end - start) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

// Runs the dialog program without a shell, so the texts need no quoting; returns its exit status or -1.
int runDialog(const char* const* argv) {
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    execvp(argv[0], const_cast<char* const*>(argv));
    _exit(127);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) < 0 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

int zenity(BoxKind kind, const char* caption, const char* text) {
  const char* type = kind == BoxKind::Error ? "--error" : kind == BoxKind::Warning ? "--warning" : "--question";
  std::string title = std::string("--title=") + caption;
  std::string body = std::string("--text=") + text;
  if (kind == BoxKind::OkCancel) {
    const char* argv[] = {
        "zenity", type, "--no-markup", title.c_str(), body.c_str(), "--ok-label=OK", "--cancel-label=Cancel", nullptr};
    return runDialog(argv);
  }
  const char* argv[] = {"zenity", type, "--no-markup", title.c_str(), body.c_str(), nullptr};
  return runDialog(argv);
}

int kdialog(BoxKind kind, const char* caption, const char* text) {
  const char* type = kind == BoxKind::Error      ? "--error"
                     : kind == BoxKind::Warning  ? "--sorry"
                     : kind == BoxKind::OkCancel ? "--warningcontinuecancel"
                                                 : "--yesno";
  const char* argv[] = {"kdialog", "--title", caption, type, text, nullptr};
  return runDialog(argv);
}

}  // namespace

bool nativeMessageBox(BoxKind kind, const char* caption, const char* text) {
  std::fprintf(stderr, "Koralin: %s: %s\n", caption, text);
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) return false;
  int status = -1;
  if (onPath("zenity")) status = zenity(kind, caption, text);
  else if (onPath("kdialog")) status = kdialog(kind, caption, text);
  // Only an explicit "yes" from a person counts; anything else is the safe answer.
  return (kind == BoxKind::YesNo || kind == BoxKind::OkCancel) && status == 0;
}

}  // namespace Platform
