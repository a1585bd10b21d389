// Linux message boxes: a line on stderr always, and a real dialog through zenity or kdialog when a display exists.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/dialogs.h"

extern char** environ;

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

bool displayNamed() {
  const char* display = std::getenv("DISPLAY");
  return display && *display;
}

// Runs the dialog program without a shell, so the texts need no quoting, and waits for that one child; returns its
// exit status or -1. posix_spawnp, not fork: a host's process may be large and many-threaded, and forking it to run
// one program copies its page tables and runs code in a child that holds copies of other threads' locks.
int runDialog(const char* const* argv) {
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) return -1;
  int status = 0;
  pid_t done = 0;
  do {
    done = waitpid(pid, &status, 0);
  } while (done < 0 && errno == EINTR);
  if (done != pid || !WIFEXITED(status)) return -1;
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

bool nativeBoxesAvailable() { return displayNamed() && (onPath("zenity") || onPath("kdialog")); }

bool nativeMessageBox(BoxKind kind, const char* caption, const char* text) {
  std::fprintf(stderr, "Koralin: %s: %s\n", caption, text);
  if (!displayNamed()) return false;
  int status = -1;
  if (onPath("zenity")) status = zenity(kind, caption, text);
  else if (onPath("kdialog")) status = kdialog(kind, caption, text);
  // Only an explicit "yes" from a person counts; anything else is the safe answer.
  return (kind == BoxKind::YesNo || kind == BoxKind::OkCancel) && status == 0;
}

}  // namespace Platform
