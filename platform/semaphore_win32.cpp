// Win32 semaphore: CreateSemaphoreA with its maximum; a release past the maximum is refused by the system.
#include <windows.h>

#include "platform/semaphore.h"

namespace Platform {

Semaphore::Semaphore(int initial, int maximum) : handle_(CreateSemaphoreA(nullptr, initial, maximum, nullptr)) {}

Semaphore::~Semaphore() {
  if (handle_) CloseHandle(handle_);
}

void Semaphore::wait() { WaitForSingleObject(handle_, INFINITE); }

bool Semaphore::tryWait() { return WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0; }

void Semaphore::release() { ReleaseSemaphore(handle_, 1, nullptr); }

}  // namespace Platform
