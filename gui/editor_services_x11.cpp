// The editor's system services on Linux: a yielding spin and xdg-open started without a shell.
#include <spawn.h>
#include <sys/wait.h>

#include <mutex>
#include <thread>
#include <vector>

#include "gui/editor_services.h"

extern char** environ;

namespace Lattice {

namespace {

// Openers still running: reaped without waiting whenever another is started, so none stays a zombie for long
// and the host's own children are never waited for.
std::mutex openersLock;
std::vector<pid_t> openers;

void reapOpeners() {
  for (size_t i = 0; i < openers.size();) {
    if (waitpid(openers[i], nullptr, WNOHANG) != 0) {
      openers[i] = openers.back();
      openers.pop_back();
    } else {
      ++i;
    }
  }
}

}  // namespace

void spinPause() { std::this_thread::yield(); }

bool openWebAddress(const char* address) {
  if (!address) return false;
  std::lock_guard<std::mutex> guard(openersLock);
  reapOpeners();
  char program[] = "xdg-open";
  char* argv[] = {program, const_cast<char*>(address), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, program, nullptr, nullptr, argv, environ) != 0) return false;
  openers.push_back(pid);
  return true;
}

}  // namespace Lattice
