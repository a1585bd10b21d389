// The Win32 backend under Wine: message box styles and the seam, semaphores, resources, SSE2, the forwarded wheel.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "platform/detail_win32.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/resources.h"
#include "platform/semaphore.h"
#include "platform/system.h"

namespace {

struct BoxCall {
  Platform::BoxKind kind;
  std::string caption, text;
};
std::vector<BoxCall> g_boxes;
bool g_answer = false;

bool recordBox(Platform::BoxKind kind, const char* caption, const char* text) {
  g_boxes.push_back({kind, caption, text});
  return g_answer;
}

TEST(Win32Dialogs, EachKindIsTaskModalWithItsIconAndButtons) {
  EXPECT_EQ(Platform::messageBoxStyle(Platform::BoxKind::Error), unsigned(MB_OK | MB_ICONERROR | MB_TASKMODAL));
  EXPECT_EQ(Platform::messageBoxStyle(Platform::BoxKind::YesNo), unsigned(MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL));
  EXPECT_EQ(Platform::messageBoxStyle(Platform::BoxKind::OkCancel), 0x2021u);
}

TEST(Win32Dialogs, TheSeamTakesEveryBoxAndItsAnswer) {
  g_boxes.clear();
  Platform::setMessageBoxSeam(recordBox);
  g_answer = true;
  Platform::showError("Koralin error", "Error loading chunk: No header");
  EXPECT_TRUE(Platform::askYesNo("Koralin", "Trying to load a preset for \"Other\"\nDo you want to continue?"));
  g_answer = false;
  EXPECT_FALSE(Platform::askOkCancel("Koralin", "Loading default settings and presets."));
  Platform::setMessageBoxSeam(nullptr);
  ASSERT_EQ(g_boxes.size(), 3u);
  EXPECT_EQ(g_boxes[0].kind, Platform::BoxKind::Error);
  EXPECT_EQ(g_boxes[0].caption, "Koralin error");
  EXPECT_EQ(g_boxes[1].kind, Platform::BoxKind::YesNo);
  EXPECT_EQ(g_boxes[2].kind, Platform::BoxKind::OkCancel);
  EXPECT_EQ(g_boxes[2].text, "Loading default settings and presets.");
}

TEST(Win32Semaphore, CountsUpToItsMaximumAndWakesAWaiter) {
  Platform::Semaphore lock(1, 2147483647);
  EXPECT_TRUE(lock.tryWait());
  EXPECT_FALSE(lock.tryWait());
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    lock.release();
  });
  lock.wait();  // returns only once the other thread released
  releaser.join();
  EXPECT_FALSE(lock.tryWait());

  Platform::Semaphore single(1, 1);
  single.release();  // already at its maximum: refused
  EXPECT_TRUE(single.tryWait());
  EXPECT_FALSE(single.tryWait());
}

struct ListedResource {
  const char* name;
  const char* type;
  const char* file;
};
const ListedResource kListed[] = {
#include "resource_list.inc"
    {nullptr, nullptr, nullptr}};

TEST(Win32Resources, EveryListedFileIsFoundByNameAndTypeWithItsBytes) {
  size_t checked = 0;
  for (const ListedResource* entry = kListed; entry->name; ++entry, ++checked) {
    std::vector<unsigned char> file;
    ASSERT_EQ(Platform::readWholeFile(entry->file, 64u << 20, file), Platform::ReadResult::Ok) << entry->file;
    const Platform::Resource resource = Platform::findResource(entry->name, entry->type);
    ASSERT_TRUE(resource) << entry->name;
    ASSERT_EQ(resource.size, file.size()) << entry->name;
    EXPECT_EQ(std::vector<unsigned char>(resource.data, resource.data + resource.size), file) << entry->name;
  }
  EXPECT_GT(checked, 0u) << "the build embeds no resource at all";
}

TEST(Win32Resources, NamesAndTypesCompareWithoutCaseAndMissingOnesAreEmpty) {
  const Platform::Resource vera = Platform::findResource("VERA", "TTF");
  ASSERT_TRUE(vera);
  const Platform::Resource lower = Platform::findResource("vera", "ttf");
  EXPECT_EQ(lower.data, vera.data);
  EXPECT_FALSE(Platform::findResource("VERA", "PNG"));
  EXPECT_FALSE(Platform::findResource("FactoryBank", "PNG"));
  EXPECT_FALSE(Platform::findResource(nullptr, "PNG"));
}

TEST(Win32System, Sse2IsFoundAndTheSeamHidesIt) {
  EXPECT_TRUE(Platform::cpuHasSse2());
  Platform::forceNoSse2(true);
  EXPECT_FALSE(Platform::cpuHasSse2());
  Platform::forceNoSse2(false);
  EXPECT_TRUE(Platform::cpuHasSse2());
}

// OutputDebugStringA raises DBG_PRINTEXCEPTION_C with the text; a vectored handler sees it as a debugger would.
std::string g_debugText;
LONG CALLBACK catchDebugText(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  if (record->ExceptionCode != DBG_PRINTEXCEPTION_C || record->NumberParameters < 2) return EXCEPTION_CONTINUE_SEARCH;
  g_debugText.append(reinterpret_cast<const char*>(record->ExceptionInformation[1]),
                     (size_t)record->ExceptionInformation[0]);
  return EXCEPTION_CONTINUE_EXECUTION;
}

TEST(Win32System, DebugOutputReachesTheDebuggerChannel) {
  void* handler = AddVectoredExceptionHandler(1, catchDebugText);
  ASSERT_NE(handler, nullptr);
  g_debugText.clear();
  Platform::debugOutput("Quillmarsh GL: check failed at line 262 (please report this bug).\r\n");
  RemoveVectoredExceptionHandler(handler);
  EXPECT_EQ(g_debugText.find("Quillmarsh GL: check failed at line 262"), 0u) << g_debugText;
}

TEST(Win32Wheel, DeltaIsTheWholePartOfAmountTimes120WithinSixteenBits) {
  EXPECT_EQ(Platform::wheelDelta(1.0f), 120);
  EXPECT_EQ(Platform::wheelDelta(1.5f), 180);
  EXPECT_EQ(Platform::wheelDelta(-0.999f), -119);
  EXPECT_EQ(Platform::wheelDelta(0.004f), 0);
  EXPECT_EQ(Platform::wheelDelta(1e9f), 32767);
  EXPECT_EQ(Platform::wheelDelta(-1e9f), -32768);
  EXPECT_EQ(Platform::wheelDelta(std::numeric_limits<float>::infinity()), 32767);
  EXPECT_EQ(Platform::wheelDelta(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(Win32Wheel, MessagePacksKeysDeltaAndScreenPosition) {
  const Platform::WheelMessage down = Platform::wheelMessage(-2.0f, true, false, 300, 40);
  EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(down.wParam), -240);
  EXPECT_EQ(GET_KEYSTATE_WPARAM(down.wParam), MK_SHIFT);
  EXPECT_EQ((short)LOWORD(down.lParam), 300);
  EXPECT_EQ((short)HIWORD(down.lParam), 40);
  const Platform::WheelMessage up = Platform::wheelMessage(1.0f, true, true, -5, -7);  // a monitor left of the main
  EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(up.wParam), 120);
  EXPECT_EQ(GET_KEYSTATE_WPARAM(up.wParam), MK_SHIFT | MK_CONTROL);
  EXPECT_EQ((short)LOWORD(up.lParam), -5);
  EXPECT_EQ((short)HIWORD(up.lParam), -7);
}

LRESULT CALLBACK plainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND makeWindowAtPointer() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = plainWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "KoralinWheelTarget";
  RegisterClassA(&windowClass);  // a second registration fails harmlessly
  HWND window = CreateWindowExA(WS_EX_TOPMOST, "KoralinWheelTarget", "", WS_POPUP | WS_VISIBLE, 100, 100, 200, 200,
                                nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window) SetCursorPos(150, 160);
  return window;
}

bool takeWheelMessage(HWND window, MSG& message) {
  for (int i = 0; i < 50; ++i) {
    if (PeekMessageA(&message, window, WM_MOUSEWHEEL, WM_MOUSEWHEEL, PM_REMOVE)) return true;
    Sleep(2);
  }
  return false;
}

TEST(Win32Wheel, ReachesOnlyAWindowOfThisModuleUnderThePointer) {
  HINSTANCE self = GetModuleHandleA(nullptr);
  HWND ours = makeWindowAtPointer();
  if (!ours) GTEST_SKIP() << "no window system (Wine needs a display for windows)";
  Platform::setModuleHandle(self);
  Platform::forwardMouseWheel(1.5f);
  MSG message{};
  ASSERT_TRUE(takeWheelMessage(ours, message));
  EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(message.wParam), 180);
  EXPECT_EQ((short)LOWORD(message.lParam), 150);
  EXPECT_EQ((short)HIWORD(message.lParam), 160);

  // The same window, now belonging to another module: the host's own windows are left alone.
  SetWindowLongPtrA(ours, GWLP_HINSTANCE, (LONG_PTR)GetModuleHandleA("kernel32.dll"));
  Platform::forwardMouseWheel(1.0f);
  EXPECT_FALSE(takeWheelMessage(ours, message));
  DestroyWindow(ours);
  Platform::setModuleHandle(nullptr);
}

}  // namespace
