#include "winsim/call_log.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace fakewin {

namespace {

std::string Hex(int64_t v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, v < 0 ? "-0x%llX" : "0x%llX",
                static_cast<unsigned long long>(v < 0 ? -v : v));
  return buf;
}

std::string Quoted(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string KeyName(int64_t vk) {
  switch (vk) {
    case VK_BACK:
      return "VK_BACK";
    case VK_RETURN:
      return "VK_RETURN";
    case VK_SHIFT:
      return "VK_SHIFT";
    case VK_CONTROL:
      return "VK_CONTROL";
    case VK_MENU:
      return "VK_MENU";
    case VK_SPACE:
      return "VK_SPACE";
    case VK_END:
      return "VK_END";
    case VK_HOME:
      return "VK_HOME";
    case VK_LEFT:
      return "VK_LEFT";
    case VK_DELETE:
      return "VK_DELETE";
    case VK_SCROLL:
      return "VK_SCROLL";
    case VK_LSHIFT:
      return "VK_LSHIFT";
    case VK_RSHIFT:
      return "VK_RSHIFT";
    default:
      break;
  }
  if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z'))
    return std::string("'") + char(vk) + "'";
  return Hex(vk);
}

// wParam of a key message is a virtual key, of anything else a plain number.
std::string WParamText(int64_t msg, int64_t wParam) {
  if (msg == WM_KEYDOWN || msg == WM_KEYUP || msg == WM_SYSKEYDOWN) return KeyName(wParam);
  return Hex(wParam);
}

const char* HookTypeName(int64_t type) {
  switch (type) {
    case WH_MSGFILTER:
      return "WH_MSGFILTER";
    case WH_JOURNALRECORD:
      return "WH_JOURNALRECORD";
    case WH_JOURNALPLAYBACK:
      return "WH_JOURNALPLAYBACK";
    case WH_KEYBOARD:
      return "WH_KEYBOARD";
    case WH_GETMESSAGE:
      return "WH_GETMESSAGE";
    case WH_CALLWNDPROC:
      return "WH_CALLWNDPROC";
    case WH_CBT:
      return "WH_CBT";
    case WH_SYSMSGFILTER:
      return "WH_SYSMSGFILTER";
    case WH_MOUSE:
      return "WH_MOUSE";
    case WH_DEBUG:
      return "WH_DEBUG";
    default:
      return "WH_?";
  }
}

template <typename H>
uint32_t HandleValue(H h) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h));
}

Call Make(CallKind kind, uint32_t handle = 0, int64_t a = 0, int64_t b = 0, int64_t c = 0,
          int64_t d = 0, int64_t e = 0, int64_t f = 0) {
  Call call;
  call.kind = kind;
  call.handle = handle;
  call.a = a;
  call.b = b;
  call.c = c;
  call.d = d;
  call.e = e;
  call.f = f;
  return call;
}

}  // namespace

uint32_t Bits(HWND hwnd) { return HandleValue(hwnd); }
uint32_t Bits(HHOOK hhook) { return HandleValue(hhook); }
uint32_t Bits(HDC hdc) { return HandleValue(hdc); }
uint32_t Bits(HMENU hmenu) { return HandleValue(hmenu); }

std::string MessageName(int64_t msg) {
  switch (msg) {
    case WM_KEYDOWN:
      return "WM_KEYDOWN";
    case WM_KEYUP:
      return "WM_KEYUP";
    case WM_CHAR:
      return "WM_CHAR";
    case WM_SYSKEYDOWN:
      return "WM_SYSKEYDOWN";
    case 33113:
      return "MYWM_ZAFRELVK_ON";
    case 33114:
      return "MYWM_ZAFRELVK_OFF";
    case 33115:
      return "MYWM_ZAFRELVK_TRUE";
    case 36260:
      return "MYWM_ZAFRELVK_RETURN2";
    default:
      return Hex(msg);
  }
}

bool Call::IsRead() const {
  return kind == CallKind::FindWindow || kind == CallKind::GetWindowText ||
         kind == CallKind::GetClassName;
}

std::string Call::ToString() const {
  std::ostringstream o;
  const std::string h = Hex(handle);
  switch (kind) {
    case CallKind::FindWindow:
      o << "FindWindowA(" << (a ? "NULL" : Quoted(text)) << ", " << (b ? "NULL" : Quoted(text2))
        << ")";
      break;
    case CallKind::GetWindowText:
      o << "GetWindowTextA(" << h << ", " << a << ")";
      break;
    case CallKind::GetClassName:
      o << "GetClassNameA(" << h << ", " << a << ")";
      break;
    case CallKind::Posted:
    case CallKind::Notified:
      o << (kind == CallKind::Posted ? "Posted(" : "Notified(") << h << ", " << MessageName(a)
        << ", " << WParamText(a, b) << ", " << Hex(c) << ")";
      break;
    case CallKind::Sent:
      o << "Sent(" << h << ", " << MessageName(a) << ", " << WParamText(a, b) << ", " << Hex(c)
        << ", timeout " << e << (d ? ", flags " + Hex(d) : "") << ")";
      break;
    case CallKind::SendInput:
      o << "SendInput(" << a << " records of " << b << " bytes)";
      break;
    case CallKind::Injected:
      o << "  Injected(" << KeyName(b) << ", scan " << Hex(c) << ", flags " << Hex(d);
      if (a != INPUT_KEYBOARD) o << ", type " << a;
      if (e != 0 || f != 0) o << ", time " << e << ", extra " << Hex(f);
      o << ")";
      break;
    case CallKind::KeybdEvent:
      o << "keybd_event(" << KeyName(a) << ", scan " << Hex(b) << ", flags " << Hex(c)
        << (d ? ", extra " + Hex(d) : "") << ")";
      break;
    case CallKind::SetKeyState:
      o << "SetKeyboardState(Shift " << Hex(a) << ", left Shift " << Hex(b) << ", right Shift "
        << Hex(c) << ")";
      break;
    case CallKind::MessageBox:
      o << "MessageBoxA(" << h << ", " << Quoted(text) << ", " << Quoted(text2) << ", " << Hex(a)
        << ")";
      break;
    case CallKind::HookSet:
      o << "SetWindowsHookExA(" << HookTypeName(a) << ", proc " << Hex(b) << ", module " << Hex(c)
        << ", thread " << d << ")";
      break;
    case CallKind::Unhook:
      o << "UnhookWindowsHookEx(" << h << ")";
      break;
    case CallKind::NextHook:
      o << "CallNextHookEx(" << h << ", " << a << ", " << Hex(b) << ", " << Hex(c) << ")";
      break;
    case CallKind::GetDC:
      o << "GetDC(" << h << ")";
      break;
    case CallKind::ReleaseDC:
      o << "ReleaseDC(" << h << ", " << Hex(a) << ")";
      break;
    case CallKind::TextOut:
      o << "TabbedTextOutA(" << h << ", " << a << ", " << b << ", " << Quoted(text) << ", "
        << text.size() << ", " << c << ", " << (d ? "NULL" : "tabs") << ", " << e << ")";
      break;
    case CallKind::Invalidate:
      o << "InvalidateRect(" << h << ", " << (a ? "NULL" : "rect") << ", " << b << ")";
      break;
    case CallKind::Update:
      o << "UpdateWindow(" << h << ")";
      break;
    case CallKind::CheckMenu:
      o << "CheckMenuItem(" << h << ", " << a << ", " << Hex(b) << ")";
      break;
    case CallKind::EnableMenu:
      o << "EnableMenuItem(" << h << ", " << a << ", " << Hex(b) << ")";
      break;
  }
  return o.str();
}

Call FindWindowCall(const char* cls, const char* title) {
  Call c = Make(CallKind::FindWindow);
  c.a = cls == nullptr;
  c.b = title == nullptr;
  c.text = cls ? cls : "";
  c.text2 = title ? title : "";
  return c;
}

Call GetWindowTextCall(HWND hwnd, int count) {
  return Make(CallKind::GetWindowText, Bits(hwnd), count);
}

Call GetClassNameCall(HWND hwnd, int count) {
  return Make(CallKind::GetClassName, Bits(hwnd), count);
}

Call Posted(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return Make(CallKind::Posted, Bits(hwnd), msg, static_cast<int64_t>(wParam), lParam);
}

Call Sent(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT timeout, UINT flags) {
  return Make(CallKind::Sent, Bits(hwnd), msg, static_cast<int64_t>(wParam), lParam, flags,
              timeout);
}

Call Notified(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return Make(CallKind::Notified, Bits(hwnd), msg, static_cast<int64_t>(wParam), lParam);
}

Call SendInputCall(UINT count, int recordSize) {
  return Make(CallKind::SendInput, 0, count, recordSize);
}

Call Injected(WORD vk, WORD scan, DWORD flags, DWORD type, DWORD time, ULONG_PTR extraInfo) {
  return Make(CallKind::Injected, 0, type, vk, scan, flags, time, static_cast<int64_t>(extraInfo));
}

Call SetKeyState(BYTE shift, BYTE leftShift, BYTE rightShift) {
  return Make(CallKind::SetKeyState, 0, shift, leftShift, rightShift);
}

Call KeybdEvent(BYTE vk, BYTE scan, DWORD flags, ULONG_PTR extraInfo) {
  return Make(CallKind::KeybdEvent, 0, vk, scan, flags, static_cast<int64_t>(extraInfo));
}

Call MessageBoxCall(HWND owner, const char* text, const char* caption, UINT type) {
  Call c = Make(CallKind::MessageBox, Bits(owner), type);
  c.text = text;
  c.text2 = caption;
  return c;
}

Call HookSet(int type, HOOKPROC proc, HINSTANCE module, DWORD thread) {
  return Make(CallKind::HookSet, 0, type, static_cast<int64_t>(reinterpret_cast<uintptr_t>(proc)),
              static_cast<int64_t>(reinterpret_cast<uintptr_t>(module)), thread);
}

Call Unhook(HHOOK hhook) { return Make(CallKind::Unhook, Bits(hhook)); }

Call NextHook(HHOOK hhook, int code, WPARAM wParam, LPARAM lParam) {
  return Make(CallKind::NextHook, Bits(hhook), code, static_cast<int64_t>(wParam), lParam);
}

Call GetDCCall(HWND hwnd) { return Make(CallKind::GetDC, Bits(hwnd)); }

Call ReleaseDCCall(HWND hwnd, HDC hdc) { return Make(CallKind::ReleaseDC, Bits(hwnd), Bits(hdc)); }

Call TextOut(HDC hdc, int x, int y, const std::string& text, int tabCount, bool tabsNull,
             int tabOrigin) {
  Call c = Make(CallKind::TextOut, Bits(hdc), x, y, tabCount, tabsNull, tabOrigin);
  c.text = text;
  return c;
}

Call InvalidateCall(HWND hwnd, bool wholeWindow, BOOL erase) {
  return Make(CallKind::Invalidate, Bits(hwnd), wholeWindow, erase);
}

Call UpdateCall(HWND hwnd) { return Make(CallKind::Update, Bits(hwnd)); }

Call CheckMenuCall(HMENU menu, UINT item, UINT flags) {
  return Make(CallKind::CheckMenu, Bits(menu), item, flags);
}

Call EnableMenuCall(HMENU menu, UINT item, UINT flags) {
  return Make(CallKind::EnableMenu, Bits(menu), item, flags);
}

std::vector<Call> operator+(std::vector<Call> a, const std::vector<Call>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

::testing::AssertionResult CallsMatch(const std::vector<Call>& actual,
                                      const std::vector<Call>& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();

  const size_t rows = std::max(actual.size(), expected.size());
  size_t width = 8;
  for (const Call& c : expected) width = std::max(width, c.ToString().size());

  std::ostringstream o;
  o << "call sequences differ (expected " << expected.size() << " calls, got " << actual.size()
    << ")\n";
  o << "     " << std::string("expected").append(width - 8, ' ') << "    actual\n";
  for (size_t i = 0; i < rows; ++i) {
    const std::string want = i < expected.size() ? expected[i].ToString() : "-";
    const std::string got = i < actual.size() ? actual[i].ToString() : "-";
    const bool same = i < expected.size() && i < actual.size() && expected[i] == actual[i];
    char index[24];
    std::snprintf(index, sizeof index, "%3zu ", i);
    o << index << (same ? "  " : "! ") << want << std::string(width - want.size(), ' ')
      << (same ? " == " : " != ") << got << "\n";
  }
  return ::testing::AssertionFailure() << o.str();
}

}  // namespace fakewin
