// Win32 thread names: the thread description every tool reads, and the naming exception raised for a debugger
// only while one is attached, never escaping to the program.
#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"
#include "threads/thread.h"

namespace {

constexpr DWORD kThreadNameException = 0x406D1388;
std::string g_namedByException;
int g_namingExceptions = 0;

// Sees the exception first, as a debugger would, and leaves it to the handlers behind it.
LONG CALLBACK watchNaming(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  if (record->ExceptionCode != kThreadNameException) return EXCEPTION_CONTINUE_SEARCH;
  ++g_namingExceptions;
  if (record->NumberParameters >= 4 && record->ExceptionInformation[0] == 0x1000 &&
      (record->ExceptionInformation[2] & 0xFFFFFFFF) == 0xFFFFFFFF)
    g_namedByException = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
  return EXCEPTION_CONTINUE_SEARCH;
}

PEB* processEnvironmentBlock() {
  using QueryProcess = NTSTATUS(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
  auto query = reinterpret_cast<QueryProcess>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION basic = {};
  if (!query || query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0)
    return nullptr;
  return basic.PebBaseAddress;
}

}  // namespace

TEST(Win32ThreadName, DescriptionAlwaysAndTheDebuggerExceptionOnlyWhileADebuggerIsAttached) {
  void* watcher = AddVectoredExceptionHandler(1, watchNaming);
  ASSERT_NE(watcher, nullptr);
  g_namingExceptions = 0;

  CoreLoom::setCurrentThreadName("no debugger here");
  EXPECT_EQ(g_namingExceptions, 0) << "the naming exception was raised without a debugger";
  EXPECT_EQ(CoreLoomTest::currentThreadName(), "no debugger here");

  // IsDebuggerPresent reads this flag of the process environment block: pretend a debugger is attached.
  PEB* peb = processEnvironmentBlock();
  ASSERT_NE(peb, nullptr);
  const BYTE wasDebugged = peb->BeingDebugged;
  peb->BeingDebugged = TRUE;
  ASSERT_TRUE(IsDebuggerPresent());
  CoreLoom::setCurrentThreadName("Loom visuals");
  peb->BeingDebugged = wasDebugged;
  RemoveVectoredExceptionHandler(watcher);

  // Still running: the exception, passed on by the watcher, did not escape to the program.
  EXPECT_EQ(g_namingExceptions, 1);
  EXPECT_EQ(g_namedByException, "Loom visuals");
  EXPECT_EQ(CoreLoomTest::currentThreadName(), "Loom visuals");
}
