// The platform seam: the only header of the library that knows whether it is built for Windows
// (the real user32/kernel32) or for the Linux host, where tests/fakewin implements the same
// functions as a scriptable fake desktop. Library code calls Win32 by its real names.
#pragma once

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// GCC's spellings of what the DLL needs on Windows: a data section that every process maps
// shared (the status window's record), and the thiscall convention of the exported constructor.
// x64 has a single calling convention, which passes `this` first, as thiscall does.
#define ZAFREL_SHARED_SECTION __attribute__((section("SHARDATA"), shared))
#if defined(_WIN64)
#define ZAFREL_THISCALL
static_assert(sizeof(INPUT) == 40, "SendInput must be given the 64-bit INPUT record size");
static_assert(sizeof(EVENTMSG) == 24, "the journal's events have the 64-bit EVENTMSG layout");
#else
#define ZAFREL_THISCALL __attribute__((thiscall))
static_assert(sizeof(INPUT) == 28, "SendInput must be given the 32-bit INPUT record size");
static_assert(sizeof(EVENTMSG) == 20, "the journal's events have the 32-bit EVENTMSG layout");
#endif

#else  // Linux host: the subset of Win32 the library uses, implemented by winsim/.

// Win32 is ILP32 and LLP64: these widths follow Windows, not the LP64 host. Handles and the
// pointer-sized message parameters are 64 bits wide here (as on Win64); library code that depends
// on a 32-bit value converts explicitly (HandleBits, KeyReleased), so both builds agree.
typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int16_t SHORT;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int INT;
typedef unsigned int UINT;
typedef char CHAR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* LPVOID;
typedef void* HANDLE;
typedef size_t SIZE_T;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef DWORD_PTR* PDWORD_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef BYTE* LPBYTE;
typedef DWORD* LPDWORD;
typedef LONG LSTATUS;
typedef DWORD REGSAM;

#define DECLARE_FAKE_HANDLE(name) \
  struct name##__;                \
  typedef struct name##__* name
DECLARE_FAKE_HANDLE(HWND);
DECLARE_FAKE_HANDLE(HHOOK);
DECLARE_FAKE_HANDLE(HINSTANCE);
DECLARE_FAKE_HANDLE(HDC);
DECLARE_FAKE_HANDLE(HMENU);
DECLARE_FAKE_HANDLE(HMONITOR);
DECLARE_FAKE_HANDLE(HKEY);
#undef DECLARE_FAKE_HANDLE
typedef HINSTANCE HMODULE;
typedef HKEY* PHKEY;

#define WINAPI
#define CALLBACK
// One process on the host: nothing to share, and the host's one calling convention.
#define ZAFREL_SHARED_SECTION
#define ZAFREL_THISCALL
#define TRUE 1
#define FALSE 0

typedef LRESULT(CALLBACK* HOOKPROC)(int code, WPARAM wParam, LPARAM lParam);

typedef struct tagPOINT {
  LONG x;
  LONG y;
} POINT;

typedef struct tagRECT {
  LONG left, top, right, bottom;
} RECT;

typedef struct tagMSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
} MSG;

typedef struct tagKEYBDINPUT {
  WORD wVk;
  WORD wScan;
  DWORD dwFlags;
  DWORD time;
  ULONG_PTR dwExtraInfo;
} KEYBDINPUT;

typedef struct tagMOUSEINPUT {
  LONG dx;
  LONG dy;
  DWORD mouseData;
  DWORD dwFlags;
  DWORD time;
  ULONG_PTR dwExtraInfo;
} MOUSEINPUT;

typedef struct tagHARDWAREINPUT {
  DWORD uMsg;
  WORD wParamL;
  WORD wParamH;
} HARDWAREINPUT;

typedef struct tagINPUT {
  DWORD type;
  union {
    MOUSEINPUT mi;
    KEYBDINPUT ki;
    HARDWAREINPUT hi;
  };
} INPUT;

typedef struct tagEVENTMSG {
  UINT message;
  UINT paramL;
  UINT paramH;
  DWORD time;
  HWND hwnd;
} EVENTMSG;

typedef struct tagCWPSTRUCT {
  LPARAM lParam;
  WPARAM wParam;
  UINT message;
  HWND hwnd;
} CWPSTRUCT;

typedef struct tagMOUSEHOOKSTRUCT {
  POINT pt;
  HWND hwnd;
  UINT wHitTestCode;
  ULONG_PTR dwExtraInfo;
} MOUSEHOOKSTRUCT;

typedef struct tagWINDOWPLACEMENT {
  UINT length;
  UINT flags;
  UINT showCmd;
  POINT ptMinPosition;
  POINT ptMaxPosition;
  RECT rcNormalPosition;
} WINDOWPLACEMENT;

typedef struct _SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

// Hook types and codes.
#define WH_MSGFILTER (-1)
#define WH_JOURNALRECORD 0
#define WH_JOURNALPLAYBACK 1
#define WH_KEYBOARD 2
#define WH_GETMESSAGE 3
#define WH_CALLWNDPROC 4
#define WH_CBT 5
#define WH_SYSMSGFILTER 6
#define WH_MOUSE 7
#define WH_DEBUG 9
#define HC_ACTION 0
#define HC_GETNEXT 1
#define HC_SKIP 2
#define HC_NOREMOVE 3
#define HC_SYSMODALON 4
#define HC_SYSMODALOFF 5
#define HCBT_KEYSKIPPED 7
#define HCBT_SETFOCUS 9
#define MSGF_DIALOGBOX 0
#define PM_REMOVE 1
#define MAX_PATH 260
#define PROCESS_QUERY_LIMITED_INFORMATION 0x1000
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004

// Messages.
#define WM_NULL 0x0000
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_USER 0x0400
#define SMTO_NORMAL 0x0000

// Virtual keys.
#define VK_BACK 0x08
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_SPACE 0x20
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_DELETE 0x2E
#define VK_SEPARATOR 0x6C
#define VK_F2 0x71
#define VK_SCROLL 0x91
#define VK_LSHIFT 0xA0
#define VK_RSHIFT 0xA1

// Input injection.
#define INPUT_KEYBOARD 1
#define KEYEVENTF_EXTENDEDKEY 0x0001
#define KEYEVENTF_KEYUP 0x0002

// Menus and message boxes.
#define MF_ENABLED 0x0000
#define MF_UNCHECKED 0x0000
#define MF_GRAYED 0x0001
#define MF_DISABLED 0x0002
#define MF_CHECKED 0x0008
#define MB_OK 0x0000
#define IDOK 1

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1

// Windows and monitors.
#define SW_SHOWNORMAL 1
#define MONITOR_DEFAULTTONULL 0x00000000
#define MONITOR_DEFAULTTOPRIMARY 0x00000001
#define MONITOR_DEFAULTTONEAREST 0x00000002

// The registry. A predefined key is a LONG sign-extended to a handle, as winreg.h makes it.
#define HKEY_CURRENT_USER \
  (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000001u))))
#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define REG_SZ 1
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_CREATED_NEW_KEY 1
#define REG_OPENED_EXISTING_KEY 2

// System error codes, as the registry functions return them.
#define ERROR_SUCCESS 0
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_ACCESS_DENIED 5
#define ERROR_INVALID_HANDLE 6
#define ERROR_INVALID_PARAMETER 87
#define ERROR_MORE_DATA 234

// user32
HWND FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName);
HWND FindWindowExA(HWND hWndParent, HWND hWndChildAfter, LPCSTR lpszClass, LPCSTR lpszWindow);
DWORD GetWindowThreadProcessId(HWND hWnd, DWORD* lpdwProcessId);
int GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount);
int GetClassNameA(HWND hWnd, LPSTR lpClassName, int nMaxCount);
HWND GetFocus(void);
HWND GetParent(HWND hWnd);
SHORT GetKeyState(int nVirtKey);
BOOL GetKeyboardState(BYTE* lpKeyState);
BOOL SetKeyboardState(BYTE* lpKeyState);
UINT MapVirtualKeyA(UINT uCode, UINT uMapType);
UINT SendInput(UINT cInputs, INPUT* pInputs, int cbSize);
void keybd_event(BYTE bVk, BYTE bScan, DWORD dwFlags, ULONG_PTR dwExtraInfo);
BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageTimeoutA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam, UINT fuFlags,
                            UINT uTimeout, PDWORD_PTR lpdwResult);
BOOL SendNotifyMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);
HHOOK SetWindowsHookExA(int idHook, HOOKPROC lpfn, HINSTANCE hmod, DWORD dwThreadId);
BOOL UnhookWindowsHookEx(HHOOK hhk);
LRESULT CallNextHookEx(HHOOK hhk, int nCode, WPARAM wParam, LPARAM lParam);
HDC GetDC(HWND hWnd);
int ReleaseDC(HWND hWnd, HDC hDC);
LONG TabbedTextOutA(HDC hdc, int x, int y, LPCSTR lpString, int chCount, int nTabPositions,
                    const INT* lpnTabStopPositions, int nTabOrigin);
BOOL InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase);
BOOL UpdateWindow(HWND hWnd);
BOOL IsWindow(HWND hWnd);
HMENU GetMenu(HWND hWnd);
DWORD CheckMenuItem(HMENU hMenu, UINT uIDCheckItem, UINT uCheck);
BOOL EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable);
BOOL GetWindowPlacement(HWND hWnd, WINDOWPLACEMENT* lpwndpl);
HMONITOR MonitorFromRect(const RECT* lprc, DWORD dwFlags);
// The real wsprintfA caps its output at 1024 bytes and is not format-checked by the compiler;
// the host declaration lets the compiler check our formats at least once.
int wsprintfA(LPSTR buffer, LPCSTR format, ...) __attribute__((format(printf, 2, 3)));
int wvsprintfA(LPSTR buffer, LPCSTR format, va_list args) __attribute__((format(printf, 2, 0)));

// kernel32
DWORD GetTickCount(void);
HMODULE GetModuleHandleA(LPCSTR lpModuleName);
BOOL GetModuleHandleExA(DWORD dwFlags, LPCSTR lpModuleName, HMODULE* phModule);
DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
DWORD GetCurrentProcessId(void);
BOOL ProcessIdToSessionId(DWORD dwProcessId, DWORD* pSessionId);
HANDLE OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId);
BOOL QueryFullProcessImageNameA(HANDLE hProcess, DWORD dwFlags, LPSTR lpExeName, DWORD* lpdwSize);
BOOL CloseHandle(HANDLE hObject);
typedef intptr_t(WINAPI* FARPROC)();
FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
HANDLE GetProcessHeap(void);
LPVOID HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes);
BOOL HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem);

// advapi32
LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                        REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                        PHKEY phkResult, LPDWORD lpdwDisposition);
LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                      PHKEY phkResult);
LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                         LPBYTE lpData, LPDWORD lpcbData);
LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                       const BYTE* lpData, DWORD cbData);
LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);
LSTATUS RegCloseKey(HKEY hKey);

#endif  // _WIN32

// The registry keeps a window's place as these bytes in both builds and on Win32 and Win64 alike.
static_assert(sizeof(WINDOWPLACEMENT) == 44, "WINDOWPLACEMENT has the Windows layout");

// A window handle as the 32-bit value Windows gives it. Handles are 32 bits in the 32-bit DLL;
// on the host the fake desktop only hands out handles that fit in 32 bits.
inline uint32_t HandleBits(HWND hwnd) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hwnd));
}

// Whether a message parameter carries `hwnd`: all of it in the 64-bit DLL, where a parameter and
// a handle are both 64 bits wide; its low 32 bits in the 32-bit DLL and on the host, which
// behaves as the 32-bit DLL does.
inline bool ParamIsHandle(LPARAM value, HWND hwnd) {
#if defined(_WIN64)
  return static_cast<uintptr_t>(value) == reinterpret_cast<uintptr_t>(hwnd);
#else
  return static_cast<uint32_t>(value) == HandleBits(hwnd);
#endif
}

// Keyboard-hook lParam: bit 31 is the transition state, set when the key is being released.
inline bool KeyReleased(LPARAM lParam) {
  return (static_cast<uint32_t>(lParam) & 0x80000000u) != 0;
}
// Bit 30 is the previous key state: set on the auto-repeated key-downs of a held key.
inline bool KeyRepeated(LPARAM lParam) {
  return (static_cast<uint32_t>(lParam) & 0x40000000u) != 0;
}

// GetKeyState: a key counts as down when bit 8 (0x100) of the returned value is set (Windows
// sign-extends the state byte's 0x80 bit, so a down key reads 0xFF80 | toggle); bit 0 is the
// toggle.
inline bool IsKeyDown(int vk) { return (GetKeyState(vk) & 0x100) != 0; }
inline int KeyToggleBit(int vk) { return GetKeyState(vk) & 1; }
// GetKeyboardState: the same thread key state for all 256 keys at once, one byte per key, 0x80
// when down.
inline bool KeyStateDown(const BYTE* state, int vk) { return (state[vk] & 0x80) != 0; }
