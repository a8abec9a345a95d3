#include <strings.h>

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/immortal.h"
#include "platform/message_queue.h"
#include "platform/messages.h"
#include "platform/threads.h"
#include "platform/wait_hub.h"

struct PlatformInstance {};

struct PlatformWindow {
  WNDPROC procedure;
  std::shared_ptr<MessageQueue> queue;
  std::mutex mutex;  // guards the extra bytes
  std::vector<unsigned char> extra;
};

namespace {

struct ClassName {
  bool operator()(const std::string& a, const std::string& b) const {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
  }
};

struct RegisteredClass {
  WNDCLASSA windowClass;
  std::string name;
  ATOM atom;
};

struct WindowTable {
  std::mutex mutex;
  std::map<std::string, RegisteredClass, ClassName> classes;
  ATOM nextAtom = 0xC000;
  std::unordered_map<HWND, std::shared_ptr<PlatformWindow>> windows;
};

WindowTable& Table() {
  static Immortal<WindowTable> table;
  return table.Get();
}

std::shared_ptr<PlatformWindow> FindWindow(HWND window) {
  std::lock_guard lock(Table().mutex);
  auto found = Table().windows.find(window);
  if (found == Table().windows.end()) return nullptr;
  return found->second;
}

std::shared_ptr<PlatformWindow> RequireWindow(HWND window) {
  auto found = FindWindow(window);
  if (!found) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return found;
}

PlatformInstance theInstance;

}  // namespace

LRESULT CallWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto found = FindWindow(window);
  if (!found) return 0;
  return found->procedure(window, message, wParam, lParam);
}

HINSTANCE GetModuleHandleA(const char*) {
  return &theInstance;
}

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
  if (windowClass == nullptr || windowClass->lpszClassName == nullptr ||
      windowClass->lpfnWndProc == nullptr || windowClass->cbWndExtra < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard lock(Table().mutex);
  std::string name = windowClass->lpszClassName;
  if (Table().classes.count(name) != 0) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  ATOM atom = Table().nextAtom++;
  auto& entry = Table().classes[name] = RegisteredClass{*windowClass, name, atom};
  entry.windowClass.lpszClassName = entry.name.c_str();
  return atom;
}

BOOL UnregisterClassA(const char* className, HINSTANCE) {
  std::lock_guard lock(Table().mutex);
  if (className == nullptr || Table().classes.erase(className) == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

BOOL GetClassInfoA(HINSTANCE, const char* className, WNDCLASSA* windowClass) {
  std::lock_guard lock(Table().mutex);
  auto found = className != nullptr ? Table().classes.find(className) : Table().classes.end();
  if (found == Table().classes.end()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *windowClass = found->second.windowClass;
  return TRUE;
}

HWND CreateWindowExA(DWORD, const char* className, const char*, DWORD, int, int, int, int, HWND,
                     void*, HINSTANCE, void*) {
  auto window = std::make_shared<PlatformWindow>();
  window->queue = CurrentQueue();
  HWND handle = window.get();
  {
    std::lock_guard lock(Table().mutex);
    auto found = className != nullptr ? Table().classes.find(className) : Table().classes.end();
    if (found == Table().classes.end()) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    window->procedure = found->second.windowClass.lpfnWndProc;
    window->extra.assign(static_cast<size_t>(found->second.windowClass.cbWndExtra), 0);
    Table().windows.emplace(handle, window);
  }
  window->queue->AdoptWindow(handle);
  return handle;
}

BOOL DestroyWindow(HWND window) {
  std::shared_ptr<PlatformWindow> found;
  {
    std::lock_guard lock(Table().mutex);
    auto entry = Table().windows.find(window);
    if (entry == Table().windows.end()) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    if (entry->second->queue->ThreadId() != GetCurrentThreadId()) {
      SetLastError(ERROR_ACCESS_DENIED);  // only the owner thread may destroy it
      return FALSE;
    }
    found = std::move(entry->second);
    Table().windows.erase(entry);
  }
  found->queue->ForgetWindow(window);
  return TRUE;
}

BOOL IsWindow(HWND window) {
  return FindWindow(window) ? TRUE : FALSE;
}

LRESULT DefWindowProcA(HWND, UINT, WPARAM, LPARAM) {
  return 0;
}

LONG GetWindowLongA(HWND window, int index) {
  auto found = RequireWindow(window);
  if (!found) return 0;
  std::lock_guard lock(found->mutex);
  if (index < 0 || static_cast<size_t>(index) + sizeof(LONG) > found->extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  LONG value;
  std::memcpy(&value, found->extra.data() + index, sizeof value);
  return value;
}

LONG SetWindowLongA(HWND window, int index, LONG value) {
  auto found = RequireWindow(window);
  if (!found) return 0;
  std::lock_guard lock(found->mutex);
  if (index < 0 || static_cast<size_t>(index) + sizeof(LONG) > found->extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  LONG previous;
  std::memcpy(&previous, found->extra.data() + index, sizeof previous);
  std::memcpy(found->extra.data() + index, &value, sizeof value);
  return previous;
}

LRESULT SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT,
                            UINT timeout, DWORD_PTR* result) {
  auto found = RequireWindow(window);
  if (!found) return 0;
  LRESULT value = 0;
  if (found->queue->ThreadId() == GetCurrentThreadId()) {
    value = found->procedure(window, message, wParam, lParam);
  } else if (!found->queue->SendAndWait(window, message, wParam, lParam, timeout, &value)) {
    return 0;
  }
  if (result != nullptr) *result = static_cast<DWORD_PTR>(value);
  return TRUE;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg{window, message, wParam, lParam, timeGetTime(), {0, 0}};
  if (window == nullptr) return CurrentQueue()->Post(msg) ? TRUE : FALSE;
  auto found = RequireWindow(window);
  if (!found) return FALSE;
  if (!found->queue->Post(msg)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage) {
  auto queue = CurrentQueue();
  queue->RunSentMessages();
  return queue->TakePosted(msg, window, filterMin, filterMax, (removeMessage & PM_REMOVE) != 0)
             ? TRUE
             : FALSE;
}

BOOL GetMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax) {
  auto queue = CurrentQueue();
  for (;;) {
    queue->RunSentMessages();
    if (queue->TakePosted(msg, window, filterMin, filterMax, true)) {
      return msg->message == WM_QUIT ? FALSE : TRUE;
    }
    std::unique_lock lock(Hub().mutex);
    Waiter& self = ThisThreadWaiter();
    queue->waiters.Add(&self);
    // Only for what this call can take: waking for a message the filter
    // leaves out would find it again at once, and spin.
    while (!queue->HasInputFor(window, filterMin, filterMax)) {
      self.Arm();
      lock.unlock();
      self.Sleep(std::nullopt);
      lock.lock();
    }
    queue->waiters.Remove(&self);
  }
}

BOOL TranslateMessage(const MSG*) {
  return FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (msg == nullptr || msg->hwnd == nullptr) return 0;
  auto found = RequireWindow(msg->hwnd);
  if (!found) return 0;
  return found->procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void PostQuitMessage(int exitCode) {
  CurrentQueue()->PostQuit(exitCode);
}

int GetThreadQueueFd() {
  return CurrentQueue()->Fd();
}
