#include "tests/unit/message_loop.h"

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

// The character TranslateMessage makes of a key on a US keyboard, or 0.
char LatinCharacter(UINT vk, bool shift) {
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

size_t MessageLoop::Caret(HWND hwnd) const {
  auto it = edits_.find(hwnd);
  return it == edits_.end() ? 0 : it->second.caret;
}

void MessageLoop::SetText(HWND hwnd, const std::string& text, size_t caret) {
  edits_[hwnd] = Edit{text, caret};
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
  const LPARAM lParam = KeyLParam(key.vk, key.down);
  // The keyboard hook sees the key state from before this event; the message that follows is
  // retrieved with the state updated.
  KeyboardProc(HC_ACTION, key.vk, lParam);
  Collect();
  d_.SetKeyDown(static_cast<int>(key.vk), key.down);
  if (key.vk == VK_SHIFT && !key.down) {
    d_.SetKeyDown(VK_LSHIFT, false);
    d_.SetKeyDown(VK_RSHIFT, false);
  }
  Retrieve(MSG{d_.focus(),
               key.down ? static_cast<UINT>(WM_KEYDOWN) : static_cast<UINT>(WM_KEYUP),
               key.vk,
               lParam,
               0,
               {0, 0}});
}

void MessageLoop::Translate(const MSG& msg) {
  if (msg.message != WM_KEYDOWN) return;
  const char c = LatinCharacter(static_cast<UINT>(msg.wParam), IsKeyDown(VK_SHIFT));
  if (c == 0) return;
  ++latinCharacters;
  posted_.push_back(MSG{msg.hwnd, WM_CHAR, static_cast<unsigned char>(c), 0, 0, {0, 0}});
}

// An edit control: characters are inserted at the caret; Left, Delete, Home and End move or
// delete around it; everything else (the neutralised key message included) does nothing.
void MessageLoop::WindowProc(const MSG& msg) {
  if (msg.hwnd == nullptr || !d_.IsWindow(msg.hwnd)) return;
  Edit& e = edits_[msg.hwnd];
  if (msg.message == WM_CHAR) {
    const char c = static_cast<char>(msg.wParam);
    if (c == '\b') {
      if (e.caret > 0) e.text.erase(--e.caret, 1);
    } else {
      e.text.insert(e.caret++, 1, c);
    }
  } else if (msg.message == WM_KEYDOWN) {
    switch (msg.wParam) {
      case VK_LEFT:
        if (e.caret > 0) --e.caret;
        break;
      case VK_DELETE:
        if (e.caret < e.text.size()) e.text.erase(e.caret, 1);
        break;
      case VK_HOME:
        e.caret = 0;
        break;
      case VK_END:
        e.caret = e.text.size();
        break;
      default:
        break;
    }
  }
}
