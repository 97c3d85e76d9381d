// One ordered log of the Win32 calls the library makes against the fake desktop. Tests state
// the whole expected sequence and compare it row by row; a mismatch prints both side by side.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "win32/win32.h"

namespace fakewin {

enum class CallKind {
  // Reads of window names: logged so that tests can pin down what is looked up, and how often.
  FindWindow,
  GetWindowText,
  GetClassName,
  // Output calls.
  Posted,
  Sent,
  Notified,
  SendInput,
  Injected,  // one row per record passed to SendInput, right after its SendInput row
  KeybdEvent,
  SetKeyState,  // SetKeyboardState: a, b, c the new VK_SHIFT, VK_LSHIFT and VK_RSHIFT bytes
  MessageBox,
  HookSet,
  Unhook,
  NextHook,
  GetDC,
  ReleaseDC,
  TextOut,
  Invalidate,
  Update,
  CheckMenu,
  EnableMenu,
};

// A logged call. `handle` is the window, hook, DC or menu the call addresses (as its 32-bit
// value); the meaning of a..f and text/text2 depends on the kind (see the constructors below).
struct Call {
  CallKind kind = CallKind::FindWindow;
  uint32_t handle = 0;
  int64_t a = 0, b = 0, c = 0, d = 0, e = 0, f = 0;
  std::string text, text2;

  bool operator==(const Call&) const = default;
  bool IsRead() const;
  std::string ToString() const;
};

uint32_t Bits(HWND hwnd);
uint32_t Bits(HHOOK hhook);
uint32_t Bits(HDC hdc);
uint32_t Bits(HMENU hmenu);

// Constructors, one per call, named after what the call does.
Call FindWindowCall(const char* cls, const char* title);  // null stays distinct from ""
Call GetWindowTextCall(HWND hwnd, int count);
Call GetClassNameCall(HWND hwnd, int count);
Call Posted(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
Call Sent(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT timeout,
          UINT flags = SMTO_NORMAL);
Call Notified(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
Call SendInputCall(UINT count, int recordSize);
Call Injected(WORD vk, WORD scan, DWORD flags, DWORD type = INPUT_KEYBOARD, DWORD time = 0,
              ULONG_PTR extraInfo = 0);
Call KeybdEvent(BYTE vk, BYTE scan, DWORD flags, ULONG_PTR extraInfo = 0);
Call SetKeyState(BYTE shift, BYTE leftShift, BYTE rightShift);
Call MessageBoxCall(HWND owner, const char* text, const char* caption, UINT type);
Call HookSet(int type, HOOKPROC proc, HINSTANCE module, DWORD thread);
Call Unhook(HHOOK hhook);
Call NextHook(HHOOK hhook, int code, WPARAM wParam, LPARAM lParam);
Call GetDCCall(HWND hwnd);
Call ReleaseDCCall(HWND hwnd, HDC hdc);
Call TextOut(HDC hdc, int x, int y, const std::string& text, int tabCount, bool tabsNull,
             int tabOrigin);
Call InvalidateCall(HWND hwnd, bool wholeWindow, BOOL erase);
Call UpdateCall(HWND hwnd);
Call CheckMenuCall(HMENU menu, UINT item, UINT flags);
Call EnableMenuCall(HMENU menu, UINT item, UINT flags);

// One sequence followed by another, for expectations built from parts.
std::vector<Call> operator+(std::vector<Call> a, const std::vector<Call>& b);

// Compares a logged sequence with the expected one, all rows and in order.
::testing::AssertionResult CallsMatch(const std::vector<Call>& actual,
                                      const std::vector<Call>& expected);

// Readable text for a message number and a virtual key, for the side-by-side diff.
std::string MessageName(int64_t msg);

}  // namespace fakewin
