// The Win32 functions of the seam, implemented on the current fake Desktop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "win32/win32.h"
#include "winsim/fakewin.h"

using fakewin::Call;
using fakewin::CallKind;
using fakewin::Desktop;

namespace {

Desktop& D() {
  Desktop* d = Desktop::Current();
  if (d == nullptr) {
    ADD_FAILURE() << "a Win32 function was called with no fake desktop in place";
    static Desktop fallback;
    return fallback;
  }
  return *d;
}

void Log(const Call& c) { D().log().push_back(c); }

bool SameClass(const std::string& a, const char* b) {
  // Class names are atoms: compared without regard to case.
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// GetWindowTextA / GetClassNameA: at most count-1 characters and a terminator.
int CopyName(const std::string& name, LPSTR out, int count) {
  if (out == nullptr || count <= 0) return 0;
  const size_t n = std::min(name.size(), static_cast<size_t>(count - 1));
  std::memcpy(out, name.data(), n);
  out[n] = 0;
  return static_cast<int>(n);
}

}  // namespace

HWND FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) {
  Log(fakewin::FindWindowCall(lpClassName, lpWindowName));
  Desktop& d = D();
  for (uint32_t handle : d.creationOrder()) {
    const Desktop::Window* w = d.Find(fakewin::Hwnd(handle));
    if (w->spec.parent != nullptr) continue;  // top-level windows only
    if (lpClassName != nullptr && !SameClass(w->spec.cls, lpClassName)) continue;
    if (lpWindowName != nullptr && w->spec.title != lpWindowName) continue;
    return fakewin::Hwnd(handle);
  }
  return nullptr;
}

// Logged as FindWindowA is: a search among the top-level windows, in Z order (creation order).
HWND FindWindowExA(HWND hWndParent, HWND hWndChildAfter, LPCSTR lpszClass, LPCSTR lpszWindow) {
  Log(fakewin::FindWindowCall(lpszClass, lpszWindow));
  Desktop& d = D();
  bool after = hWndChildAfter == nullptr;
  for (uint32_t handle : d.creationOrder()) {
    const Desktop::Window* w = d.Find(fakewin::Hwnd(handle));
    if (!after) {
      after = fakewin::Hwnd(handle) == hWndChildAfter;
      continue;
    }
    if (w->spec.parent != hWndParent) continue;
    if (lpszClass != nullptr && !SameClass(w->spec.cls, lpszClass)) continue;
    if (lpszWindow != nullptr && w->spec.title != lpszWindow) continue;
    return fakewin::Hwnd(handle);
  }
  return nullptr;
}

// Who owns a window and what a process is are not logged: the library asks them as it asks
// GetKeyState, and tests set them up rather than expect them.
DWORD GetWindowThreadProcessId(HWND hWnd, DWORD* lpdwProcessId) {
  const Desktop::Window* w = D().Find(hWnd);
  if (w == nullptr) return 0;
  if (lpdwProcessId != nullptr)
    *lpdwProcessId = w->spec.process != 0 ? w->spec.process : fakewin::kOwnProcess;
  return 0x0300;
}

int GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
  Log(fakewin::GetWindowTextCall(hWnd, nMaxCount));
  const Desktop::Window* w = D().Find(hWnd);
  return CopyName(w ? w->spec.title : std::string(), lpString, nMaxCount);
}

int GetClassNameA(HWND hWnd, LPSTR lpClassName, int nMaxCount) {
  Log(fakewin::GetClassNameCall(hWnd, nMaxCount));
  const Desktop::Window* w = D().Find(hWnd);
  return CopyName(w ? w->spec.cls : std::string(), lpClassName, nMaxCount);
}

HWND GetFocus(void) { return D().NextFocus(); }

HWND GetParent(HWND hWnd) {
  const Desktop::Window* w = D().Find(hWnd);
  if (w == nullptr) return nullptr;
  // A child's parent; for a top-level window its owner.
  return w->spec.parent != nullptr ? w->spec.parent : w->spec.owner;
}

SHORT GetKeyState(int nVirtKey) { return D().KeyState(nVirtKey); }

BOOL GetKeyboardState(BYTE* lpKeyState) {
  if (D().refuseKeyboardState) return FALSE;
  // The bytes GetKeyState's answers come from: 0x80 when down, bit 0 the toggle.
  for (int vk = 0; vk < 256; ++vk) {
    const SHORT state = D().KeyState(vk);
    lpKeyState[vk] = static_cast<BYTE>(((state & 0x100) != 0 ? 0x80 : 0) | (state & 1));
  }
  return TRUE;
}

BOOL SetKeyboardState(BYTE* lpKeyState) {
  Log(fakewin::SetKeyState(lpKeyState[VK_SHIFT], lpKeyState[VK_LSHIFT], lpKeyState[VK_RSHIFT]));
  for (int vk = 0; vk < 256; ++vk) {
    D().SetKeyDown(vk, (lpKeyState[vk] & 0x80) != 0);
    D().SetToggled(vk, (lpKeyState[vk] & 1) != 0);
  }
  return TRUE;
}

UINT MapVirtualKeyA(UINT uCode, UINT uMapType) { return uMapType == 0 ? D().ScanCode(uCode) : 0; }

UINT SendInput(UINT cInputs, INPUT* pInputs, int cbSize) {
  Log(fakewin::SendInputCall(cInputs, cbSize));
  // Windows refuses a record size that is not its own INPUT's, and reads nothing then.
  if (cbSize != static_cast<int>(sizeof(INPUT))) return 0;
  for (UINT i = 0; i < cInputs; ++i) {
    const INPUT& in = pInputs[i];
    Log(fakewin::Injected(in.ki.wVk, in.ki.wScan, in.ki.dwFlags, in.type, in.ki.time,
                          in.ki.dwExtraInfo));
  }
  return cInputs;
}

void keybd_event(BYTE bVk, BYTE bScan, DWORD dwFlags, ULONG_PTR dwExtraInfo) {
  Log(fakewin::KeybdEvent(bVk, bScan, dwFlags, dwExtraInfo));
}

BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  Log(fakewin::Posted(hWnd, Msg, wParam, lParam));
  return D().IsWindow(hWnd);
}

LRESULT SendMessageTimeoutA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam, UINT fuFlags,
                            UINT uTimeout, PDWORD_PTR lpdwResult) {
  Log(fakewin::Sent(hWnd, Msg, wParam, lParam, uTimeout, fuFlags));
  if (lpdwResult != nullptr) *lpdwResult = 0;
  return D().IsWindow(hWnd) ? 1 : 0;
}

BOOL SendNotifyMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  Log(fakewin::Notified(hWnd, Msg, wParam, lParam));
  return D().IsWindow(hWnd);
}

int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  Log(fakewin::MessageBoxCall(hWnd, lpText, lpCaption, uType));
  return IDOK;
}

HHOOK SetWindowsHookExA(int idHook, HOOKPROC lpfn, HINSTANCE hmod, DWORD dwThreadId) {
  Log(fakewin::HookSet(idHook, lpfn, hmod, dwThreadId));
  // WH_MSGFILTER cannot be installed for the whole desktop, and nothing without a procedure.
  if (lpfn == nullptr || idHook < WH_JOURNALRECORD || idHook > 14) return nullptr;
  if (D().refuseHooks) return nullptr;
  return D().NewHookHandle();
}

BOOL UnhookWindowsHookEx(HHOOK hhk) {
  Log(fakewin::Unhook(hhk));
  return hhk != nullptr;
}

LRESULT CallNextHookEx(HHOOK hhk, int nCode, WPARAM wParam, LPARAM lParam) {
  Log(fakewin::NextHook(hhk, nCode, wParam, lParam));
  return D().nextHookResult;
}

HDC GetDC(HWND hWnd) {
  Log(fakewin::GetDCCall(hWnd));
  return reinterpret_cast<HDC>(uintptr_t{0x00DC0000u} | (fakewin::Bits(hWnd) & 0xFFFFu));
}

int ReleaseDC(HWND hWnd, HDC hDC) {
  Log(fakewin::ReleaseDCCall(hWnd, hDC));
  return 1;
}

LONG TabbedTextOutA(HDC hdc, int x, int y, LPCSTR lpString, int chCount, int nTabPositions,
                    const INT* lpnTabStopPositions, int nTabOrigin) {
  const std::string text(lpString, chCount > 0 ? static_cast<size_t>(chCount) : 0);
  Log(fakewin::TextOut(hdc, x, y, text, nTabPositions, lpnTabStopPositions == nullptr, nTabOrigin));
  return chCount * 8;
}

BOOL InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase) {
  Log(fakewin::InvalidateCall(hWnd, lpRect == nullptr, bErase));
  return TRUE;
}

BOOL UpdateWindow(HWND hWnd) {
  Log(fakewin::UpdateCall(hWnd));
  return D().IsWindow(hWnd);
}

BOOL IsWindow(HWND hWnd) { return D().IsWindow(hWnd); }

HMENU GetMenu(HWND hWnd) {
  const Desktop::Window* w = D().Find(hWnd);
  if (w == nullptr || !w->spec.hasMenu) return nullptr;
  return reinterpret_cast<HMENU>(uintptr_t{0x003E0000u} | (w->handle & 0xFFFFu));
}

DWORD CheckMenuItem(HMENU hMenu, UINT uIDCheckItem, UINT uCheck) {
  Log(fakewin::CheckMenuCall(hMenu, uIDCheckItem, uCheck));
  return hMenu != nullptr ? MF_UNCHECKED : static_cast<DWORD>(-1);
}

BOOL EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable) {
  Log(fakewin::EnableMenuCall(hMenu, uIDEnableItem, uEnable));
  return hMenu != nullptr ? MF_ENABLED : -1;
}

// Only the window's restored rectangle is kept; it reports as shown normally, never minimised or
// maximised. As documented, the caller must set the length first.
BOOL GetWindowPlacement(HWND hWnd, WINDOWPLACEMENT* lpwndpl) {
  const Desktop::Window* w = D().Find(hWnd);
  if (w == nullptr || lpwndpl == nullptr || lpwndpl->length != sizeof(WINDOWPLACEMENT))
    return FALSE;
  lpwndpl->flags = 0;
  lpwndpl->showCmd = SW_SHOWNORMAL;
  lpwndpl->ptMinPosition = POINT{-1, -1};
  lpwndpl->ptMaxPosition = POINT{-1, -1};
  lpwndpl->rcNormalPosition = w->spec.normal;
  return TRUE;
}

// One monitor. A rectangle is on it when they share at least one pixel, as an intersection; a
// rectangle with no area is on none.
HMONITOR MonitorFromRect(const RECT* lprc, DWORD dwFlags) {
  const RECT& m = D().monitor;
  HMONITOR const kMonitor = reinterpret_cast<HMONITOR>(uintptr_t{0x00010001u});
  const bool on = lprc->left < lprc->right && lprc->top < lprc->bottom && lprc->left < m.right &&
                  lprc->right > m.left && lprc->top < m.bottom && lprc->bottom > m.top;
  return on || dwFlags != MONITOR_DEFAULTTONULL ? kMonitor : nullptr;
}

int wvsprintfA(LPSTR buffer, LPCSTR format, va_list args) {
  // user32 formats into at most 1024 bytes and writes all of it to the caller's buffer: a line
  // longer than the caller's buffer overruns it here as it would on Windows (ASan reports it).
  char formatted[1024];
  std::vsnprintf(formatted, sizeof formatted, format, args);
  const size_t n = std::strlen(formatted);
  std::memcpy(buffer, formatted, n + 1);
  return static_cast<int>(n);
}

int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
  va_list args;
  va_start(args, format);
  const int n = wvsprintfA(buffer, format, args);
  va_end(args);
  return n;
}

DWORD GetTickCount(void) { return D().tick; }

DWORD GetCurrentProcessId(void) { return fakewin::kOwnProcess; }

BOOL ProcessIdToSessionId(DWORD dwProcessId, DWORD* pSessionId) {
  auto it = D().processes.find(dwProcessId);
  if (it == D().processes.end()) return FALSE;
  *pSessionId = it->second.session;
  return TRUE;
}

// A process handle is its id with a tag; nothing is held.
HANDLE OpenProcess(DWORD dwDesiredAccess, BOOL, DWORD dwProcessId) {
  auto it = D().processes.find(dwProcessId);
  if (dwDesiredAccess != PROCESS_QUERY_LIMITED_INFORMATION || it == D().processes.end() ||
      !it->second.open)
    return nullptr;
  return reinterpret_cast<HANDLE>(uintptr_t{0x50000000u} | dwProcessId);
}

BOOL QueryFullProcessImageNameA(HANDLE hProcess, DWORD dwFlags, LPSTR lpExeName, DWORD* lpdwSize) {
  const uintptr_t bits = reinterpret_cast<uintptr_t>(hProcess);
  auto it = D().processes.find(static_cast<uint32_t>(bits & 0x0FFFFFFFu));
  if ((bits & 0xF0000000u) != 0x50000000u || dwFlags != 0 || it == D().processes.end())
    return FALSE;
  const std::string& image = it->second.image;
  if (image.size() + 1 > *lpdwSize) return FALSE;
  std::memcpy(lpExeName, image.c_str(), image.size() + 1);
  *lpdwSize = static_cast<DWORD>(image.size());
  return TRUE;
}

BOOL CloseHandle(HANDLE) { return TRUE; }

// The library's own module, wherever the address is.
BOOL GetModuleHandleExA(DWORD dwFlags, LPCSTR, HMODULE* phModule) {
  if ((dwFlags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) == 0) return FALSE;
  *phModule = reinterpret_cast<HMODULE>(uintptr_t{0x10000000u});
  return TRUE;
}

// The library's module is the DLL; no module (nullptr) is the program itself, kOwnProcess.
DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  std::string path;
  if (hModule == reinterpret_cast<HMODULE>(uintptr_t{0x10000000u})) {
    path = fakewin::kLibraryPath;
  } else if (hModule == nullptr) {
    auto own = D().processes.find(fakewin::kOwnProcess);
    if (own != D().processes.end()) path = own->second.image;
  }
  if (path.empty() || nSize == 0) return 0;
  const size_t length = path.size();
  if (length + 1 > nSize) {
    std::memcpy(lpFilename, path.data(), nSize - 1);
    lpFilename[nSize - 1] = 0;
    return nSize;  // truncated, as Windows says it
  }
  std::memcpy(lpFilename, path.c_str(), length + 1);
  return static_cast<DWORD>(length);
}

// Only ntdll.dll is there, and only what tells Wine from Windows is asked of it.
HMODULE GetModuleHandleA(LPCSTR lpModuleName) {
  return lpModuleName != nullptr && std::strcmp(lpModuleName, "ntdll.dll") == 0
             ? reinterpret_cast<HMODULE>(uintptr_t{0x7FF00000u})
             : nullptr;
}

namespace {
intptr_t WINAPI WineGetVersion() { return 0; }
}  // namespace

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  const bool wineExport = hModule == reinterpret_cast<HMODULE>(uintptr_t{0x7FF00000u}) &&
                          std::strcmp(lpProcName, "wine_get_version") == 0;
  return wineExport && D().wine ? reinterpret_cast<FARPROC>(&WineGetVersion) : nullptr;
}

// The process heap is the C heap, so that the sanitizers see every block; allocation fails on
// demand.
HANDLE GetProcessHeap(void) { return reinterpret_cast<HANDLE>(uintptr_t{0x00480000}); }

LPVOID HeapAlloc(HANDLE, DWORD, SIZE_T dwBytes) {
  Desktop* d = Desktop::Current();
  if (d != nullptr && d->allocationsBeforeFailure == 0) return nullptr;
  if (d != nullptr && d->allocationsBeforeFailure > 0) --d->allocationsBeforeFailure;
  void* block = std::malloc(dwBytes);
  if (d != nullptr && block != nullptr) ++d->liveAllocations;
  return block;
}

BOOL HeapFree(HANDLE, DWORD, LPVOID lpMem) {
  Desktop* d = Desktop::Current();
  if (d != nullptr && lpMem != nullptr) --d->liveAllocations;
  std::free(lpMem);
  return TRUE;
}
