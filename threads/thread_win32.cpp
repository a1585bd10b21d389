// Win32 threads backend: threads created suspended and then resumed, joined through their handle, and named
// through SetThreadDescription and, while a debugger is attached, the debuggers' naming exception.
#include <windows.h>

#include <process.h>

#include <cerrno>
#include <system_error>

#include "threads/thread.h"

namespace CoreLoom {
namespace {

unsigned __stdcall entry(void* self) {
  static_cast<Thread*>(self)->run();
  return 0;
}

HANDLE native(std::uintptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// The exception code and record type that debuggers read as "name this thread".
constexpr DWORD kThreadNameException = 0x406D1388;
constexpr ULONG_PTR kThreadNameRecord = 0x1000;
constexpr ULONG_PTR kCallingThread = 0xFFFFFFFF;

// Windows 10 1607 and later keep a thread description that every tool reads; older systems lack the call.
void describeThread(const char* name) {
  using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  SetDescription setDescription = nullptr;
  for (const char* module : {"kernel32.dll", "kernelbase.dll"}) {
    HMODULE handle = GetModuleHandleA(module);
    if (handle && !setDescription)
      setDescription =
          reinterpret_cast<SetDescription>(reinterpret_cast<void*>(GetProcAddress(handle, "SetThreadDescription")));
  }
  if (!setDescription) return;
  wchar_t wide[256] = {};
  if (MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 255) == 0) return;
  setDescription(GetCurrentThread(), wide);
}

// Whoever handles the naming exception first (the debugger) names the thread; this last handler only makes sure
// it never escapes. GCC has no structured exception handling, so a vectored handler stands in for __except.
LONG CALLBACK continueAfterName(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode != kThreadNameException) return EXCEPTION_CONTINUE_SEARCH;
  return EXCEPTION_CONTINUE_EXECUTION;
}

void tellDebugger(const char* name) {
  // Without a debugger the exception has no effect at all, so it is raised only while one is attached.
  if (!IsDebuggerPresent()) return;
  void* handler = AddVectoredExceptionHandler(0, continueAfterName);
  if (!handler) return;
  // Four pointer-sized arguments: the record type, the name, the thread (-1: the caller) and flags.
  const ULONG_PTR arguments[4] = {kThreadNameRecord, reinterpret_cast<ULONG_PTR>(name), kCallingThread, 0};
  RaiseException(kThreadNameException, 0, 4, arguments);
  RemoveVectoredExceptionHandler(handler);
}

}  // namespace

Thread::~Thread() {
  if (handle_ != 0) CloseHandle(native(handle_));
}

void Thread::start() {
  if (handle_ != 0) return;
  unsigned id = 0;
  const std::uintptr_t handle = _beginthreadex(nullptr, 0, entry, this, CREATE_SUSPENDED, &id);
  if (handle == 0) throw std::system_error(errno, std::generic_category(), "_beginthreadex");
  handle_ = handle;
  ResumeThread(native(handle_));
}

void Thread::join() {
  if (handle_ == 0 || joined_) return;
  WaitForSingleObject(native(handle_), INFINITE);
  joined_ = true;
}

void setCurrentThreadName(const char* name) {
  if (!name) return;
  describeThread(name);
  tellDebugger(name);
}

}  // namespace CoreLoom
