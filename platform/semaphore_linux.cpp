// Linux semaphore: POSIX unnamed semaphore, capped at its maximum like the Win32 one.
#include <semaphore.h>

#include <cerrno>
#include <climits>

#include "platform/semaphore.h"

namespace Platform {
namespace {
struct Sem {
  sem_t sem;
  int maximum;
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
  int value = 0;
  sem_getvalue(&get(handle_)->sem, &value);
  if (value < get(handle_)->maximum && value < INT_MAX) sem_post(&get(handle_)->sem);
}

}  // namespace Platform
