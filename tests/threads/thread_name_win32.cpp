// Test helper, Win32: the calling thread's description, where the system keeps one.
#include <windows.h>

#include "test_support.h"

namespace CoreLoomTest {

std::string currentThreadName() {
  using GetDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);
  HMODULE kernel = GetModuleHandleA("kernelbase.dll");
  if (!kernel) kernel = GetModuleHandleA("kernel32.dll");
  auto getDescription =
      reinterpret_cast<GetDescription>(reinterpret_cast<void*>(GetProcAddress(kernel, "GetThreadDescription")));
  PWSTR wide = nullptr;
  if (!getDescription || FAILED(getDescription(GetCurrentThread(), &wide)) || !wide) return "";
  char narrow[256] = {};
  WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof(narrow) - 1, nullptr, nullptr);
  LocalFree(wide);
  return narrow;
}

}  // namespace CoreLoomTest
