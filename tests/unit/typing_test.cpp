#include "tests/unit/typing_test.h"

#include "tools/scenario.h"
#include "typing/typing_state.h"

using namespace fakewin;

TypingTest::TypingTest() {
  controller = d.ShowController("FALSE 1 ZafrelXP");
  focus = d.AddWindow("Edit", "", d.AddWindow("Notepad", "Untitled - Notepad"));
  d.SetFocus(focus);
  fFarsiOn = 1;
}

UINT TypingTest::Vk(char key) {
  switch (key) {
    case ' ':
      return VK_SPACE;
    case '\n':
      return VK_RETURN;
    case '\b':
      return VK_BACK;
    default:
      break;
  }
  const char cap = key >= 'a' && key <= 'z' ? static_cast<char>(key - 'a' + 'A') : key;
  const UINT vk = ScenarioVirtualKey(std::string(1, cap));
  if (vk == 0) ADD_FAILURE() << "no key for '" << key << "'";
  return vk;
}

void TypingTest::Down(UINT vk, int code) {
  // As Windows sends it: bit 30 is the key's previous state, so the key-down of a key that is
  // already down is an auto-repeat.
  const UINT previous = d.KeyState(static_cast<int>(vk)) < 0 ? 0x40000000u : 0u;
  const LPARAM lParam = static_cast<LPARAM>(previous | MapVirtualKeyA(vk, 0) << 16 | 1);
  KeyboardProc(code, vk, lParam);
  if (prefilter && code == HC_ACTION) {
    MSG msg{focus, WM_KEYDOWN, vk, lParam, d.tick, {0, 0}};
    GetMessageProc(HC_ACTION, PM_REMOVE, reinterpret_cast<LPARAM>(&msg));
    lastMessage = msg.message;
  }
  if (code == HC_ACTION) d.SetKeyDown(static_cast<int>(vk), true);
}

void TypingTest::Up(UINT vk, int code) {
  const LPARAM lParam =
      static_cast<LPARAM>(static_cast<int32_t>(0xC0000001u | MapVirtualKeyA(vk, 0) << 16));
  KeyboardProc(code, vk, lParam);
  if (code == HC_ACTION) d.SetKeyDown(static_cast<int>(vk), false);
}

void TypingTest::Press(UINT vk) {
  Down(vk);
  Up(vk);
}

void TypingTest::Type(const std::string& keys) {
  for (char key : keys) Press(Vk(key));
}

void TypingTest::ShiftPress(UINT vk, bool leftShift) {
  d.SetKeyDown(VK_SHIFT, true);
  d.SetKeyDown(leftShift ? VK_LSHIFT : VK_RSHIFT, true);
  Down(vk);
  Up(vk);
  d.SetKeyDown(VK_SHIFT, false);
  d.SetKeyDown(leftShift ? VK_LSHIFT : VK_RSHIFT, false);
}

const GlyphTableSet& TypingTest::Set() const {
  char title[16] = {};
  GetWindowTextA(controller, title, sizeof title);
  return GlyphTableSetFor(static_cast<signed char>(title[6]));
}

std::vector<Call> TypingTest::Delivered() const {
  std::vector<Call> out;
  for (const Call& c : d.Outputs()) {
    if (c.kind != CallKind::NextHook) out.push_back(c);
  }
  return out;
}
