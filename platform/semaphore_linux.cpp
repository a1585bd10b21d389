// Linux semaphore: POSIX unnamed semaphore, capped at its maximum like the Win32 one.
#include <semaphore.h>

#include <cerrno>
#include <climits>
#include <mutex>

#include "platform/semaphore.h"

namespace Platform {
namespace {
struct Sem {
  sem_t sem;
  int maximum;
  std::mutex releasing;  // makes "below the maximum? then post" one step among releasers
};
Sem* get(void* handle) { return static_cast<Sem*>(handle); }
}  // namespace

Semaphore::Semaphore(int initial, int maximum) : handle_(new Sem) {
  get(handle_)->maximum = maximum;
  sem_init(&get(handle_)->sem, 0, (unsigned)initial);
}

Semaphore::~Semaphore() {
  sem_destroy(&get(handle_)->sem);
  delete get(handle_);
}

void Semaphore::wait() {
  while (sem_wait(&get(handle_)->sem) != 0 && errno == EINTR) {
  }
}

bool Semaphore::tryWait() {
  while (sem_trywait(&get(handle_)->sem) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

void Semaphore::release() {
  // Waiters only lower the count, so a count read below the maximum stays below it until this post, as long as no
  // other releaser posts in between.
  Sem& s = *get(handle_);
  std::lock_guard<std::mutex> lock(s.releasing);
  int value = 0;
  sem_getvalue(&s.sem, &value);
  if (value < s.maximum && value < INT_MAX) sem_post(&s.sem);
}

}  // namespace Platform
