// Thread: a native thread running a virtual run; and the naming of the calling thread for debuggers and tools.
#pragma once

#include <cstdint>

#include "threads/non_copyable.h"

namespace CoreLoom {

class Thread : public NonCopyable {
 public:
  Thread() = default;
  // Releases the system's handle without waiting: a thread that must finish first is joined by its owner.
  virtual ~Thread();

  // What the new thread runs; it ends when run returns.
  virtual void run() = 0;

  // Creates the native thread, which calls run. Throws std::system_error when the system refuses a thread.
  void start();
  // Waits until run has returned. Does nothing for a thread that was never started or is already joined.
  void join();
  bool started() const { return handle_ != 0; }

 private:
  std::uintptr_t handle_ = 0;  // pthread_t or the Win32 thread handle; 0 while no thread exists
  bool joined_ = false;
};

// Gives the calling thread a name that debuggers, profilers and process viewers show. Long names are cut to
// what the system keeps (15 characters on Linux).
void setCurrentThreadName(const char* name);

}  // namespace CoreLoom
