// Windows and message queues: just what the serial line's hidden notification
// window needs. Each thread that creates a window owns a queue; a message sent
// from another thread waits until the owner serves its queue (PeekMessageA,
// MsgWaitForMultipleObjects' caller pumping) or the time-out passes.
#pragma once

#include "win_types.h"

struct PlatformWindow;
using HWND = PlatformWindow*;
struct PlatformInstance;
using HINSTANCE = PlatformInstance*;
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_USER = 0x0400;

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  void* hIcon;
  void* hCursor;
  void* hbrBackground;
  const char* lpszMenuName;
  const char* lpszClassName;
};

struct POINT {
  LONG x;
  LONG y;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

// The program's module instance.
HINSTANCE GetModuleHandleA(const char* moduleName);

// Registering a class twice fails with ERROR_CLASS_ALREADY_EXISTS.
ATOM RegisterClassA(const WNDCLASSA* windowClass);
BOOL UnregisterClassA(const char* className, HINSTANCE instance);
BOOL GetClassInfoA(HINSTANCE instance, const char* className, WNDCLASSA* windowClass);

// The window belongs to the calling thread. Windows are never shown.
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, void* menu,
                     HINSTANCE instance, void* param);
// Pending sends to a destroyed window fail at once; its posted messages are dropped.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The window's extra bytes (cbWndExtra), at a byte offset.
LONG GetWindowLongA(HWND window, int index);
LONG SetWindowLongA(HWND window, int index, LONG value);

constexpr UINT SMTO_NORMAL = 0x0000;
constexpr UINT SMTO_BLOCK = 0x0001;
constexpr UINT SMTO_ABORTIFHUNG = 0x0002;
// On the owner's thread the procedure runs directly. From another thread the
// sender blocks until the owner has run it (TRUE, *result set) or the time-out
// passes (0, last error ERROR_TIMEOUT); a message that timed out is not run later.
// A window destroyed before its procedure ran fails the send (0, last error
// ERROR_INVALID_WINDOW_HANDLE), however close the two calls come.
LRESULT SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags,
                            UINT timeout, DWORD_PTR* result);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
// Runs every pending sent message of the calling thread, then returns the
// first posted message (window 0 means any window of the thread; a filter of
// 0, 0 means every message). Never waits.
BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage);
// Waits for a posted message; FALSE for WM_QUIT.
BOOL GetMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
// Posts WM_QUIT with the exit code to the calling thread's queue.
void PostQuitMessage(int exitCode);

// A descriptor of the calling thread's queue that is readable while the queue
// holds a sent or posted message, so a host event loop (Qt's) can watch it
// and serve the queue with PeekMessageA. Stays valid while the thread lives.
int GetThreadQueueFd();
