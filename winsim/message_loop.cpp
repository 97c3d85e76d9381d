#include "winsim/message_loop.h"

#include <algorithm>

#include "typing/keyboard_hook.h"
#include "typing/prefilter.h"

using fakewin::Call;
using fakewin::CallKind;

namespace {

HWND ToHwnd(uint32_t handle) { return fakewin::Hwnd(handle); }

LPARAM KeyLParam(UINT vk, bool down) {
  const uint32_t scan = MapVirtualKeyA(vk, 0);
  const uint32_t flags = down ? 0x00000001u : 0xC0000001u;
  return static_cast<LPARAM>(static_cast<int32_t>(flags | scan << 16));
}

// The character TranslateMessage makes of a key on a US keyboard, or 0. With Ctrl held a letter
// is a control character, and other keys make none.
char LatinCharacter(UINT vk, bool shift, bool ctrl) {
  if (ctrl) return vk >= 'A' && vk <= 'Z' ? static_cast<char>(vk - 'A' + 1) : 0;
  if (vk >= 'A' && vk <= 'Z') return static_cast<char>(shift ? vk : vk - 'A' + 'a');
  if (vk >= '0' && vk <= '9') return shift ? ")!@#$%^&*("[vk - '0'] : static_cast<char>(vk);
  switch (vk) {
    case VK_SPACE:
      return ' ';
    case VK_RETURN:
      return '\r';
    case VK_BACK:
      return '\b';
    case 0xBA:
      return shift ? ':' : ';';
    case 0xBC:
      return shift ? '<' : ',';
    case 0xBE:
      return shift ? '>' : '.';
    case 0xBF:
      return shift ? '?' : '/';
    case 0xC0:
      return shift ? '~' : '`';
    case 0xDB:
      return shift ? '{' : '[';
    case 0xDC:
      return shift ? '|' : '\\';
    case 0xDD:
      return shift ? '}' : ']';
    case 0xDE:
      return shift ? '"' : '\'';
    case VK_SEPARATOR:
      return ',';
    default:
      return 0;
  }
}

}  // namespace

void MessageLoop::UserKey(UINT vk, bool down) {
  input_.push_back({vk, down});
  Run();
}

std::string MessageLoop::Text(HWND hwnd) const {
  auto it = edits_.find(hwnd);
  return it == edits_.end() ? std::string() : it->second.text;
}

void MessageLoop::Run() {
  for (;;) {
    Collect();
    if (!posted_.empty()) {
      MSG msg = posted_.front();
      posted_.pop_front();
      Retrieve(msg);
    } else if (!input_.empty()) {
      KeyEvent key = input_.front();
      input_.pop_front();
      Input(key);
    } else {
      return;
    }
  }
}

void MessageLoop::Collect() {
  const std::vector<Call>& log = d_.log();
  for (; seen_ < log.size(); ++seen_) {
    const Call& c = log[seen_];
    switch (c.kind) {
      case CallKind::Sent:
        // The window procedure ran inside SendMessageTimeoutA, before anything queued.
        WindowProc(MSG{ToHwnd(c.handle),
                       static_cast<UINT>(c.a),
                       static_cast<WPARAM>(c.b),
                       static_cast<LPARAM>(c.c),
                       0,
                       {0, 0}});
        break;
      case CallKind::Posted:
        posted_.push_back(MSG{ToHwnd(c.handle),
                              static_cast<UINT>(c.a),
                              static_cast<WPARAM>(c.b),
                              static_cast<LPARAM>(c.c),
                              0,
                              {0, 0}});
        break;
      case CallKind::Injected:
        input_.push_back({static_cast<UINT>(c.b), (c.d & KEYEVENTF_KEYUP) == 0});
        break;
      case CallKind::KeybdEvent:
        input_.push_back({static_cast<UINT>(c.a), (c.c & KEYEVENTF_KEYUP) == 0});
        break;
      default:
        break;
    }
  }
}

// GetMessage hands the message to the pre-filter, then the loop translates and dispatches it.
void MessageLoop::Retrieve(MSG msg) {
  GetMessageProc(HC_ACTION, PM_REMOVE, reinterpret_cast<LPARAM>(&msg));
  Collect();
  Translate(msg);
  WindowProc(msg);
}

void MessageLoop::Input(const KeyEvent& key) {
  const bool sidedShift = key.vk == VK_LSHIFT || key.vk == VK_RSHIFT;
  const UINT vk = sidedShift ? VK_SHIFT : key.vk;
  const LPARAM lParam = KeyLParam(key.vk, key.down);
  // The keyboard hook sees the key state from before this event; the message that follows is
  // retrieved with the state updated.
  KeyboardProc(HC_ACTION, vk, lParam);
  Collect();
  if (key.down && (vk == VK_SCROLL || vk == 0x14 /* Caps Lock */ || vk == 0x90 /* Num Lock */)) {
    d_.SetToggled(static_cast<int>(vk), (d_.KeyState(static_cast<int>(vk)) & 1) == 0);
  }
  d_.SetKeyDown(static_cast<int>(vk), key.down);
  if (sidedShift) d_.SetKeyDown(static_cast<int>(key.vk), key.down);
  if (vk == VK_SHIFT && !key.down) {
    d_.SetKeyDown(VK_LSHIFT, false);
    d_.SetKeyDown(VK_RSHIFT, false);
  }
  const UINT message = key.down ? static_cast<UINT>(WM_KEYDOWN) : static_cast<UINT>(WM_KEYUP);
  Retrieve(MSG{d_.focus(), message, vk, lParam, 0, {0, 0}});
}

void MessageLoop::Translate(const MSG& msg) {
  if (msg.message != WM_KEYDOWN) return;
  const char c =
      LatinCharacter(static_cast<UINT>(msg.wParam), IsKeyDown(VK_SHIFT), IsKeyDown(VK_CONTROL));
  if (c == 0) return;
  ++latinCharacters;
  posted_.push_back(MSG{msg.hwnd, WM_CHAR, static_cast<unsigned char>(c), 0, 0, {0, 0}});
}

// An edit control: characters are inserted at the caret; Left, Delete, Home and End move or
// delete around it, a line break (CR LF) counting as one character; with Shift held (the thread's
// key state as the window procedure reads it) a caret key selects, and the next character or
// Delete replaces the selection; everything else (the neutralised key message included) does
// nothing.
void MessageLoop::WindowProc(const MSG& msg) {
  if (msg.hwnd == nullptr || !d_.IsWindow(msg.hwnd)) return;
  Edit& e = edits_[msg.hwnd];
  const auto eraseSelection = [&e]() {
    if (e.anchor == e.caret) return false;
    const size_t from = std::min(e.anchor, e.caret);
    e.text.erase(from, std::max(e.anchor, e.caret) - from);
    e.caret = e.anchor = from;
    return true;
  };
  if (msg.message == WM_CHAR && static_cast<unsigned char>(msg.wParam) >= 0x20) eraseSelection();
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_DELETE && eraseSelection()) return;
  // Caret keys set the anchor afresh unless Shift is down; characters leave the caret alone.
  struct AnchorAfter {
    Edit& e;
    bool keep;
    ~AnchorAfter() {
      if (!keep) e.anchor = e.caret;
    }
  } anchorAfter{e, msg.message == WM_KEYDOWN && IsKeyDown(VK_SHIFT)};
  const auto breakBefore = [&e](size_t at) {
    return at >= 2 && e.text.compare(at - 2, 2, "\r\n") == 0;
  };
  const auto breakAt = [&e](size_t at) { return e.text.compare(at, 2, "\r\n") == 0; };
  if (msg.message == WM_CHAR) {
    const char c = static_cast<char>(msg.wParam);
    if (c == '\b') {
      const size_t n = breakBefore(e.caret) ? 2 : e.caret > 0 ? 1 : 0;
      e.caret -= n;
      e.text.erase(e.caret, n);
    } else if (c == '\r') {
      if (!e.multiline) return;
      e.text.insert(e.caret, "\r\n");
      e.caret += 2;
    } else if (static_cast<unsigned char>(c) >= 0x20) {
      e.text.insert(e.caret++, 1, c);
    }
  } else if (msg.message == WM_KEYDOWN) {
    switch (msg.wParam) {
      case VK_LEFT:
        e.caret -= breakBefore(e.caret) ? 2 : e.caret > 0 ? 1 : 0;
        break;
      case VK_DELETE:
        if (e.caret < e.text.size()) e.text.erase(e.caret, breakAt(e.caret) ? 2 : 1);
        break;
      case VK_HOME: {
        const size_t lineStart = e.caret == 0 ? std::string::npos : e.text.rfind('\n', e.caret - 1);
        e.caret = lineStart == std::string::npos ? 0 : lineStart + 1;
        break;
      }
      case VK_END: {
        const size_t lineEnd = e.text.find('\r', e.caret);
        e.caret = lineEnd == std::string::npos ? e.text.size() : lineEnd;
        break;
      }
      default:
        break;
    }
  }
}
