// POSIX threads backend: start, join and release of a Thread, and thread names through pthread_setname_np.
#include <pthread.h>

#include <cstring>
#include <system_error>

#include "threads/thread.h"

namespace CoreLoom {
namespace {

static_assert(sizeof(pthread_t) <= sizeof(std::uintptr_t), "a pthread_t must fit the portable handle");

void* entry(void* self) {
  static_cast<Thread*>(self)->run();
  return nullptr;
}

pthread_t native(std::uintptr_t handle) {
  pthread_t thread{};
  std::memcpy(&thread, &handle, sizeof(thread));
  return thread;
}

}  // namespace

Thread::~Thread() {
  // A thread nobody joins gives its resources back by itself when it ends.
  if (handle_ != 0 && !joined_) pthread_detach(native(handle_));
}

void Thread::start() {
  if (handle_ != 0) return;
  pthread_t thread{};
  const int error = pthread_create(&thread, nullptr, entry, this);
  if (error != 0) throw std::system_error(error, std::generic_category(), "pthread_create");
  std::uintptr_t handle = 0;
  std::memcpy(&handle, &thread, sizeof(thread));
  handle_ = handle;
}

void Thread::join() {
  if (handle_ == 0 || joined_) return;
  pthread_join(native(handle_), nullptr);
  joined_ = true;
}

void setCurrentThreadName(const char* name) {
  if (!name) return;
  // The kernel keeps 16 bytes with the terminating zero; a longer name makes the call fail outright.
  char cut[16] = {};
  std::memcpy(cut, name, strnlen(name, sizeof(cut) - 1));
  pthread_setname_np(pthread_self(), cut);
}

}  // namespace CoreLoom
