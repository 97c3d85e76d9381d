// libFuzzer target: random sequences of hook calls against the fake desktop. Keys with random
// modifier and toggle states, focus windows with random classes, titles and ancestors, controller
// titles, private messages, focus changes, slot switches, journal events and allocation failures.
// After every call it checks what must always hold: the open glyph is 0 or a glyph code, an
// injection is one to three key-downs, every status line ends within its 128 bytes, and every
// recorded journal node is reachable exactly once from the list head (the sanitizers catch the
// rest: no access out of bounds, no use of a freed node, no leak).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "diagnostics/journal.h"
#include "diagnostics/monitors.h"
#include "dll/entry.h"
#include "dll/exports.h"
#include "hooklib/hook_table.h"
#include "hooklib/status_lines.h"
#include "typing/controller_link.h"
#include "typing/glyph_tables.h"
#include "typing/keyboard_hook.h"
#include "typing/prefilter.h"
#include "typing/typing_state.h"
#include "winsim/fakewin.h"

namespace {

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool empty() const { return at_ >= size_; }
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint32_t Word() {
    return Byte() | Byte() << 8 | Byte() << 16 | static_cast<uint32_t>(Byte()) << 24;
  }
  std::string Text() {
    static const char* const kNames[] = {"Edit",
                                         "edit",
                                         "EditBox",
                                         "Toccata",
                                         "_WwG",
                                         "_wwg",
                                         "AfxFrameOrView42",
                                         "CorelDRAW 12",
                                         "Adobe Photoshop 7.0",
                                         "Adobe ImageReady",
                                         "FreeHand",
                                         "FreeHand 10",
                                         "Macromedia Flash",
                                         "Adobe Illustrator 10",
                                         "QuarkXPress",
                                         "Adobe PageMaker",
                                         "Adobe InDesign",
                                         "Button",
                                         "TRUES 2",
                                         "FALSE 0",
                                         "trues-3",
                                         "TRUE 22",
                                         ""};
    const uint8_t pick = Byte();
    if (pick < 200) return kNames[pick % (sizeof kNames / sizeof kNames[0])];
    std::string s(Byte() % 8 == 0 ? 300 + Byte() : Byte() % 12, 'x');
    for (char& c : s) c = static_cast<char>(Byte() | 1);
    return s;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

std::set<int> AllGlyphCodes() {
  std::set<int> codes = {132};  // Shift+2 leaves its glyph open
  for (char font : {'0', '1', '2', '3', '4'}) {
    const GlyphTableSet& s = GlyphTableSetFor(font);
    for (const unsigned char* t : {s.initial, s.medial, s.final, s.isolated, s.shift}) {
      for (int i = 0; i < kKeyIndexCount; ++i) codes.insert(t[i]);
    }
  }
  return codes;
}

void Fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

void CheckInvariants(const fakewin::Desktop& d, size_t logFrom) {
  static const std::set<int> kCodes = AllGlyphCodes();
  if (nOpenGlyph != 0 && kCodes.count(nOpenGlyph) == 0) Fail("open glyph is not a glyph code");
  const std::vector<fakewin::Call>& log = const_cast<fakewin::Desktop&>(d).log();
  for (size_t i = logFrom; i < log.size(); ++i) {
    const fakewin::Call& c = log[i];
    if (c.kind == fakewin::CallKind::SendInput && (c.a < 1 || c.a > 3)) Fail("injection size");
    // The only key-up ever injected ends the Scroll Lock press that sets the light, in the same
    // SendInput as its key-down: no other key is left released behind the user's back.
    if (c.kind == fakewin::CallKind::Injected && (c.d & KEYEVENTF_KEYUP) &&
        (c.b != VK_SCROLL || i == 0 || log[i - 1].kind != fakewin::CallKind::Injected ||
         log[i - 1].b != VK_SCROLL || (log[i - 1].d & KEYEVENTF_KEYUP) != 0))
      Fail("injected key-up");
  }
  for (const char* line : aszStatusLine) {
    if (std::memchr(line, 0, kStatusLineSize) == nullptr) Fail("status line not terminated");
  }
  int reachable = 0;
  for (EventNode* n = pEventHead; n != nullptr && reachable <= d.liveAllocations; n = n->next) {
    ++reachable;
  }
  if (reachable != d.liveAllocations) Fail("journal nodes lost or reachable twice");
}

const int kKeys[] = {
    'A',       'B',     'C',       'D',          'E',       'G',     'H',    'I',      'M',
    'X',       'Z',     '0',       '1',          '2',       '3',     '4',    '6',      '7',
    '9',       0xBA,    0xBC,      0xBE,         0xBF,      0xC0,    0xDB,   0xDE,     VK_SPACE,
    VK_RETURN, VK_BACK, VK_DELETE, VK_SEPARATOR, VK_SCROLL, VK_HOME, VK_END, VK_SHIFT, VK_F2};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fakewin::Desktop d;
  ResetProcessState();
  Input in(data, size);
  HWND controller = d.ShowController(in.Text());
  HWND windows[6];
  HWND parent = nullptr;
  for (HWND& w : windows) {
    fakewin::WindowSpec spec{in.Text(), in.Text()};
    if (in.Byte() & 1) {
      spec.parent = parent;
    } else {
      spec.owner = parent;
    }
    spec.hasMenu = in.Byte() & 1;
    w = parent = d.AddWindow(spec);
  }
  d.SetFocus(windows[5]);
  LibMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
  InitZafrelXPDll(in.Byte() & 1 ? controller : nullptr, in.Byte() % 40);

  for (int steps = 0; steps < 400 && !in.empty(); ++steps) {
    const size_t logFrom = d.log().size();
    const uint8_t op = in.Byte();
    const uint8_t a = in.Byte();
    switch (op % 10) {
      case 0:
      case 1:
      case 2: {  // a key through the keyboard hook, then its key-down through the pre-filter
        const int vk = a < 200 ? kKeys[a % (sizeof kKeys / sizeof kKeys[0])] : a;
        const uint8_t state = in.Byte();
        d.SetKeyDown(VK_SHIFT, state & 1);
        d.SetKeyDown(VK_LSHIFT, state & 2);
        d.SetKeyDown(VK_CONTROL, (state & 0x1C) == 0x04);
        d.SetKeyDown(VK_MENU, (state & 0x1C) == 0x08);
        d.SetKeyDown(VK_SPACE, (state & 0x1C) == 0x0C);
        d.SetToggled(VK_SCROLL, state & 0x20);
        const int code = state & 0x40 ? HC_NOREMOVE : (state & 0x80 ? -1 : HC_ACTION);
        const bool up = in.Byte() & 1;
        const LPARAM lParam = up ? static_cast<LPARAM>(static_cast<int32_t>(0xC0000001u)) : 1;
        KeyboardProc(code, static_cast<WPARAM>(vk), lParam);
        if (!up) {
          MSG msg{d.focus(), WM_KEYDOWN, static_cast<WPARAM>(vk), lParam, 0, {0, 0}};
          GetMessageProc(code, PM_REMOVE, reinterpret_cast<LPARAM>(&msg));
        }
        break;
      }
      case 3:  // the focus moves, with the CBT hook told
        d.SetFocus(a & 0x80 ? nullptr : windows[a % 6]);
        CbtProc(a & 0x40 ? HCBT_SETFOCUS : HCBT_KEYSKIPPED, 0, static_cast<LPARAM>(in.Word()));
        break;
      case 4:  // the controller's title changes, or the window goes away and comes back
        if (a & 1) {
          d.HideController();
        } else {
          controller = d.ShowController(in.Text());
        }
        break;
      case 5: {  // private and other messages through the pre-filter
        const UINT messages[] = {MYWM_ZAFRELVK_TRUE, MYWM_ZAFRELVK_RETURN2, WM_KEYUP, WM_CHAR};
        MSG msg{d.focus(), messages[a % 4], in.Byte(), 0, 0, {0, 0}};
        GetMessageProc(HC_ACTION, 0, reinterpret_cast<LPARAM>(&msg));
        break;
      }
      case 6:  // a slot switched by the controller
        InstallFilter(static_cast<int>(static_cast<int8_t>(in.Byte())) % 12, a & 1, controller, 0);
        break;
      case 7: {  // journal events
        d.allocationsBeforeFailure = a & 0x80 ? static_cast<int>(in.Byte() % 4) : -1;
        d.tick += in.Word() % 5000;
        EVENTMSG event{a & 1 ? static_cast<UINT>(WM_KEYDOWN) : in.Word(), in.Byte(), in.Word(),
                       in.Word(), nullptr};
        const int code = static_cast<int>(in.Byte() % 7) - 1;
        if (a & 2) {
          JournalRecordProc(code, 0, reinterpret_cast<LPARAM>(&event));
        } else {
          JournalPlaybackProc(code, 0, reinterpret_cast<LPARAM>(&event));
        }
        break;
      }
      case 8: {  // monitors with extreme numbers
        MSG msg{reinterpret_cast<HWND>(uintptr_t{in.Word()}),
                in.Word(),
                0,
                0,
                in.Word(),
                {static_cast<LONG>(in.Word()), static_cast<LONG>(in.Word())}};
        MOUSEHOOKSTRUCT mouse{msg.pt, msg.hwnd, 0, 0};
        CWPSTRUCT cwp{0, 0, msg.message, msg.hwnd};
        const int code = static_cast<int>(a % 5) - 1;
        CallWndProcMonitor(code, a & 1, reinterpret_cast<LPARAM>(&cwp));
        MouseMonitor(code, msg.message, reinterpret_cast<LPARAM>(&mouse));
        SysMsgFilterMonitor(code, 0, reinterpret_cast<LPARAM>(&msg));
        DebugMonitor(code, 0, 0);
        break;
      }
      default:
        PaintHooksDll(reinterpret_cast<HDC>(uintptr_t{0x00DC0001}));
        break;
    }
    CheckInvariants(d, logFrom);
  }
  ResetProcessState();  // frees what the journal still holds
  return 0;
}
